// The theme, font and settings singletons as the application publishes them,
// the drawing helpers and the widget image provider.

#include <QGuiApplication>
#include <QtTest>

#include "QtGUIComponents/Common/FontStyles.h"
#include "QtGUIComponents/Common/ThemeColours.h"
#include "QtGUIComponents/Common/UISettings.h"
#include "QtGUIComponents/Widgets/DrawingUtility.h"
#include "QtGUIComponents/Widgets/QMLFactoryImageProvider.h"
#include "TestSupport.h"

class tst_Theme : public QObject {
  Q_OBJECT

 private slots:
  void instancesExistOnlyWhileTheApplicationHoldsThem() {
    {
      cReportCapture reports;
      QVERIFY(cThemeColours::Instance() == nullptr);
      QVERIFY(cFontStyles::Instance() == nullptr);
      QVERIFY(cUISettings::Instance() == nullptr);
      QVERIFY(cDrawingUtility::Instance() == nullptr);
      for (const char* text :
           {"gThemeColours is NULL", "gFontStyles is NULL", "gUISettings is NULL", "gDrawingUtility is NULL"}) {
        QVERIFY2(reports.Count(text) == 1, text);
      }
    }
    {
      cThemeColours theme;
      cFontStyles fonts;
      cUISettings settings;
      cDrawingUtility drawing;
      QCOMPARE(cThemeColours::Instance(), &theme);
      QCOMPARE(cFontStyles::Instance(), &fonts);
      QCOMPARE(cUISettings::Instance(), &settings);
      QCOMPARE(cDrawingUtility::Instance(), &drawing);
      cReportCapture reports;
      cThemeColours second;
      QCOMPARE(cThemeColours::Instance(), &theme);
      QCOMPARE(reports.Count("gThemeColours already exists"), 1);
    }
    cReportCapture reports;
    QVERIFY(cThemeColours::Instance() == nullptr);
  }

  void themeValuesReadThroughTheMetaObject() {
    cThemeColours theme;
    const auto graphLine = theme.property("graphLine").value<cGraphLineColours>();
    QCOMPARE(graphLine.mScaleMajor, QColor(63, 63, 63));
    QCOMPARE(graphLine.mScaleMinor, QColor(31, 31, 31));
    const auto active = theme.property("peqGraphActive").value<cPEQGraphColours>();
    QCOMPARE(active.mHpfBandColour, QColor(0, 255, 0));
    QCOMPARE(active.mLpfBandColour, QColor(255, 255, 0));
    QCOMPARE(active.mHfBandColour, QColor(255, 0, 0));
    QCOMPARE(theme.property("peqGraphBypassed").value<cPEQGraphColours>().mOverviewColour, QColor(127, 127, 127));
    QCOMPARE(theme.property("grGraphActive").value<cGRGraphColours>().mMainLineWidth, 2.0);
    QCOMPARE(theme.property("grGraphBypassed").value<cGRGraphColours>().mFillColourBottom, QColor(225, 225, 225));
    QCOMPARE(theme.property("blockingLayerColour").value<QColor>().alpha(), 128);
  }

  void scaleFactorSignalsChangesOnly() {
    cThemeColours theme;
    QSignalSpy spy(&theme, &cThemeColours::scaleFactorChanged);
    QVERIFY(spy.isValid());
    QCOMPARE(theme.scaleFactor(), 1.0);
    theme.setScaleFactor(1.0);
    QCOMPARE(spy.count(), 0);
    theme.setScaleFactor(1.5);
    theme.setScaleFactor(1.5);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(theme.scaleFactor(), 1.5);
  }

  void stylesAndSettings() {
    cFontStyles fonts;
    QCOMPARE(fonts.property("defaultFontFamily").toString(), QString("Spartan"));
    auto* title = fonts.property("title").value<cTextStyle*>();
    QVERIFY(title != nullptr);
    QCOMPARE(title->font().family(), QString("Spartan"));
    QSignalSpy colourSpy(title, &cTextStyle::colourChanged);
    title->setColour(title->colour());
    title->setColour(Qt::red);
    QCOMPARE(colourSpy.count(), 1);

    cUISettings settings;
    QSignalSpy spy(&settings, &cUISettings::enableDisplayAsConnectedChanged);
    settings.setEnableDisplayAsConnected(false);
    settings.setEnableDisplayAsConnected(true);
    QCOMPARE(spy.count(), 1);
  }

  void quarterEllipses() {
    const QRectF box(0, 0, 40, 20);
    const QPainterPath topLeft = cDrawingUtility::QuarterEllipse(box, cDrawingUtility::TOP_LEFT);
    QVERIFY(qFuzzyCompare(topLeft.pointAtPercent(0.0).x() + 1.0, 1.0));
    QCOMPARE(topLeft.pointAtPercent(0.0).y(), 10.0);
    QCOMPARE(topLeft.pointAtPercent(1.0), QPointF(20.0, 0.0));
    const QPainterPath bottomRight = cDrawingUtility::QuarterEllipse(box, cDrawingUtility::BOTTOM_RIGHT);
    QCOMPARE(bottomRight.pointAtPercent(0.0), QPointF(40.0, 10.0));
    QCOMPARE(bottomRight.pointAtPercent(1.0), QPointF(20.0, 20.0));
  }

  void roundedRectangles() {
    const QRectF rect(10, 10, 100, 50);
    const QPainterPath rounded = cDrawingUtility::RoundedRectangle(rect, 10, 10);
    QVERIFY(rounded.contains(QPointF(60, 35)));
    QVERIFY(rounded.contains(QPointF(12, 35)));   // along a straight edge
    QVERIFY(!rounded.contains(QPointF(11, 11)));  // cut by the corner
    QVERIFY(rounded.contains(QPointF(14, 14)));   // inside the corner's curve
    QCOMPARE(rounded.boundingRect(), rect);
    // Radii larger than the rectangle give an ellipse, not a folded path.
    const QPainterPath ellipse = cDrawingUtility::RoundedRectangle(rect, 500, 500);
    QCOMPARE(ellipse.boundingRect(), rect);
    QVERIFY(ellipse.contains(rect.center()));
    QVERIFY(!ellipse.contains(QPointF(15, 15)));
    // No radius is a plain rectangle.
    const QPainterPath square = cDrawingUtility::RoundedRectangle(rect, 0, 0);
    QVERIFY(square.contains(QPointF(10.5, 10.5)));
    QCOMPARE(square.boundingRect(), rect);
  }

  void providerDrawsStyles() {
    cQMLFactoryImageProvider provider;
    QSize size;
    const QImage panel = provider.requestImage("panel?colour=%23ff0000&radius=8", &size, QSize(40, 30));
    QCOMPARE(size, QSize(40, 30));
    QCOMPARE(panel.size(), QSize(40, 30));
    QCOMPARE(panel.pixelColor(20, 15), QColor(255, 0, 0));
    QCOMPARE(panel.pixelColor(0, 0).alpha(), 0);  // rounded away

    const QImage outline = provider.requestImage("outline?colour=white&width=2", &size, QSize(40, 30));
    QCOMPARE(outline.pixelColor(20, 15).alpha(), 0);
    QCOMPARE(outline.pixelColor(20, 1), QColor(Qt::white));

    // Sizes QML may ask for are kept drawable.
    provider.requestImage("panel", &size, QSize(-1, 1000000));
    QCOMPARE(size, QSize(cQMLFactoryImageProvider::kDefaultSide, cQMLFactoryImageProvider::kMaximumSide));

    cReportCapture reports;
    const QImage unknown = provider.requestImage("sparkles", &size, QSize(8, 8));
    QCOMPARE(unknown.pixelColor(4, 4).alpha(), 0);
    QCOMPARE(reports.Count("No widget style \"sparkles\""), 1);
  }
};

QTEST_MAIN(tst_Theme)
#include "tst_Theme.moc"
