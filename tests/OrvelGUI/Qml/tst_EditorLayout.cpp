// The editor's layout at the sizes users open it at: the first window fits
// the screen's available area, every text stays legible at the minimum
// size, and the equaliser handles scale with the rest of the screen. CTest
// runs it twice, the second time on a screen scaled by QT_SCALE_FACTOR=2.

// The program runs a QGuiApplication without widgets; so does this test.
#undef QT_WIDGETS_LIB

#include <QFontInfo>
#include <QScreen>
#include <QtTest>
#include <cmath>
#include <memory>

#include "OrvelGUI/Qml/EditorScreen.h"
#include "OrvelGUI/Qml/ScreenSupport.h"
#include "QmlFixture.h"

namespace {

constexpr double kLegiblePixels = 9.0;     // the floor the screens keep, in window pixels
constexpr UWORD kTwelveKilohertz = 53227;  // 4 x 2^(code / 4608) Hz

// How many window pixels one of the item's own pixels is drawn as.
double DrawnScale(const QQuickItem* item) {
  return item->mapToScene(QPointF(0, 1)).y() - item->mapToScene(QPointF(0, 0)).y();
}

// The smallest size a text item may draw its font at, in its own pixels: a
// text that shrinks to its box goes down to its minimum size.
double SmallestFontPixels(const QQuickItem* text) {
  const QFont font = text->property("font").value<QFont>();
  const bool fits = text->property("fontSizeMode").toInt() != 0;
  if (fits) return text->property("minimumPixelSize").toDouble();
  return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

// Every shown text below `root` drawn smaller than the floor, named by its
// text.
void CollectIllegible(const QQuickItem* root, QStringList& found) {
  for (const QQuickItem* child : root->childItems()) {
    if (!child->isVisible()) continue;
    const QString text = child->property("text").toString();
    if (child->inherits("QQuickText") && !text.isEmpty()) {
      const double drawn = SmallestFontPixels(child) * DrawnScale(child);
      if (drawn < kLegiblePixels - 0.01) found << QStringLiteral("\"%1\" at %2 px").arg(text).arg(drawn, 0, 'f', 1);
      // A value is read whole: it fits its field.
      const double overflow = child->property("contentWidth").toDouble() - child->width();
      if (child->objectName() == "valueText" && overflow > 0.5) {
        found << QStringLiteral("\"%1\" %2 px wider than its field").arg(text).arg(overflow, 0, 'f', 1);
      }
    }
    CollectIllegible(child, found);
  }
}

QRectF SceneRect(const QQuickItem* item) { return item->mapRectToScene(QRectF(0, 0, item->width(), item->height())); }

}  // namespace

class tst_EditorLayout : public QObject {
  Q_OBJECT

 private:
  // The editor (no processor: the layout does not depend on one).
  struct sEditor : sEditorScreen {
    using sEditorScreen::sEditorScreen;

    QQuickItem* Bar(const char* alias) const { return TopBar()->property(alias).value<QQuickItem*>(); }
    void ShowTab(int index) const { TopBar()->setProperty("currentIndex", index); }
    // Resized, and every binding and layout settled.
    bool Resize(QSize size) const {
      Window()->resize(size);
      return QTest::qWaitFor([&] { return Window()->size() == size; }, 5000) && Settle();
    }
    bool Settle() const {
      QCoreApplication::processEvents();
      return QTest::qWaitForWindowExposed(Window());
    }
  };

  std::unique_ptr<cScreenTestScope> mScope;

 private slots:
  void initTestCase() { SetUpOrvelQml(); }
  void init() { BeginScreenTest(mScope); }
  void cleanup() { EndScreenTest(mScope); }

  // The window opens at 1280 x 720 or smaller, within what the screen has
  // room for (a 1600 x 1000 screen at a scale factor of 2 has 800 x 500 of
  // the window's pixels), never below the minimum, with Connect, Save and
  // Recall inside it.
  void firstWindowFitsTheScreen() {
    sEditor editor;
    if (editor.Window()->devicePixelRatio() > 1 && QGuiApplication::platformName() == "offscreen") {
      QSKIP("the offscreen platform halves a window's first size on a scaled screen (an X server does not)");
    }
    const QSize asked = editor.Window()->size();
    QVERIFY(editor.mScreen->Show());
    const QRect available = editor.Window()->screen()->availableGeometry();
    const QString sizes = QStringLiteral("%1 x %2 on %3 x %4")
                              .arg(asked.width())
                              .arg(asked.height())
                              .arg(available.width())
                              .arg(available.height());
    QVERIFY2(asked.width() == qBound(640, available.width(), 1280), qPrintable(sizes));
    QVERIFY2(asked.height() == qBound(480, available.height() - 32, 720), qPrintable(sizes));
    QCOMPARE(editor.Window()->size(), asked);
    const QRectF window(QPointF(0, 0), QSizeF(asked));
    for (const char* button : {"connectButton", "saveButton", "recallButton"}) {
      QVERIFY2(window.contains(SceneRect(editor.Bar(button))), button);
    }
  }

  // An equaliser handle is drawn in the layout's own pixels (its touch
  // area 45 of the 1024 across), whatever the screen's scale factor (CTest
  // runs this test a second time with QT_SCALE_FACTOR=2): at half the
  // screen's scale it is half as large, the same share of its graph.
  void handlesScaleWithTheScreen() {
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    editor.ShowTab(3);
    QQuickItem* graph = FindItem(editor.mScreen->Item("highPanel"), "peqGraph");
    QVERIFY(graph != nullptr);
    QQuickItem* handle = FindItem(graph, "bandHandle0");
    QVERIFY(handle != nullptr);
    const auto share = [&] { return SceneRect(handle).height() / SceneRect(graph).width(); };
    QVERIFY(editor.Resize(QSize(1280, 720)));
    QCOMPARE(SceneRect(handle).height(), 45.0 * 1280 / 1024);
    const double wideShare = share();
    QVERIFY(editor.Resize(QSize(640, 480)));
    QCOMPARE(SceneRect(handle).height(), 45.0 * 640 / 1024);
    QVERIFY(std::fabs(share() - wideShare) < 0.01 * wideShare);
  }

  // At the minimum size every shown text of every tab, and of the High
  // panel with its equalisers apart (six bands each, in half the width) and
  // ganged, is drawn at least 9 px high, with the top bar's buttons inside
  // the window.
  void textStaysLegibleAndFits_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("640 x 480") << QSize(640, 480);
    QTest::newRow("854 x 480") << QSize(854, 480);
    QTest::newRow("1024 x 576") << QSize(1024, 576);
    QTest::newRow("1280 x 720") << QSize(1280, 720);
  }
  void textStaysLegibleAndFits() {
    QFETCH(QSize, size);
    // Every band shows the widest values it can: "12.00 kHz", "-15.0 dB".
    bool applied = false;
    sEditor editor([&](cApplicationCore& core) {
      sConfiguration widest = ReadConfiguration(core);
      for (sPanelConfiguration& panel : widest.mPanels) {
        for (sEQConfiguration& eq : panel.mEQ) {
          for (sBandConfiguration& band : eq.mBands) {
            band.mFrequency = kTwelveKilohertz;
            band.mGain = GAIN(-15 * 256);
          }
        }
      }
      applied = ApplyConfiguration(core, widest);
    });
    QVERIFY(applied);
    QVERIFY(editor.mScreen->Show());
    QVERIFY(editor.Resize(size));
    QStringList illegible;
    for (int tab = 0; tab < 4; ++tab) {
      editor.ShowTab(tab);
      QVERIFY(editor.Settle());
      CollectIllegible(editor.Window()->contentItem(), illegible);
    }
    QQuickItem* high = editor.mScreen->Item("highPanel");
    QQuickItem* gang = FindItem(high->property("leftEQ").value<QQuickItem*>(), "gangButton");
    QVERIFY(gang != nullptr);
    QQuickItem* rightEQ = high->property("rightEQ").value<QQuickItem*>();
    const bool apart = rightEQ->isVisible();
    editor.mScreen->Click(gang);
    QTRY_COMPARE(rightEQ->isVisible(), !apart);
    QVERIFY(editor.Settle());
    CollectIllegible(high, illegible);
    QVERIFY2(illegible.isEmpty(), qPrintable(illegible.join(", ")));
    const QRectF window(QPointF(0, 0), QSizeF(editor.Window()->size()));
    for (const char* button : {"connectButton", "saveButton", "recallButton"}) {
      QVERIFY2(window.contains(SceneRect(editor.Bar(button))), button);
    }
  }
};

QTEST_MAIN(tst_EditorLayout)
#include "tst_EditorLayout.moc"
