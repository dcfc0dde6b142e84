// The equaliser graph's figures: its curves, mappings and scale, dragging and
// pinching, the one-timer scheduling, its mends, and the device's curves.

#include <QPolygonF>
#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/NetProbe.h"
#include "OrvelGUI/Core/ControlStripDriver.h"
#include "OrvelGUI/QtGUIComponents/HPFQmlBand2.h"
#include "OrvelGUI/QtGUIComponents/PEQDriver.h"
#include "OrvelGUI/QtGUIComponents/PEQGraphMaths.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBackEnd2.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBand2.h"
#include "OrvelGUI/QtGUIComponents/PEQQuantisedResponse.h"
#include "TestSupport.h"

namespace {

QVector<QPointF> PointsOf(const QPainterPath& path) {
  QVector<QPointF> points;
  for (int i = 0; i < path.elementCount(); ++i) points.append(path.elementAt(i));
  return points;
}

double Area(const QPainterPath& path) {
  double twice = 0.0;
  for (const QPolygonF& polygon : path.toFillPolygons()) {
    for (int i = 0; i + 1 < polygon.size(); ++i) {
      twice += polygon[i].x() * polygon[i + 1].y() - polygon[i + 1].x() * polygon[i].y();
    }
  }
  return std::abs(twice) / 2.0;
}

// A coarse curve has points on every tenth pixel only.
bool IsFullResolution(const QPainterPath& path) {
  for (const QPointF& p : PointsOf(path)) {
    if (std::fmod(p.x(), double(peqgraph::kCoarseStep)) != 0.0) return true;
  }
  return false;
}

// Lets the graph's timer run until nothing is pending.
void RunPasses() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// A graph of the default size with the given bands, started.
struct cGraph {
  explicit cGraph(int bells, bool highPass = false) {
    for (int i = 0; i < bells; ++i) {
      mBands.append(new cPEQQmlBand2(&mGraph));
      mGraph.AppendBand(mBands.last());
    }
    if (highPass) {
      mHighPass = new cHPFQmlBand2(&mGraph);
      mGraph.AppendBand(mHighPass);
    }
    mGraph.setQMLPEQObjectAndStart();
    RunPasses();
  }
  cPEQQmlBackEnd2 mGraph;
  QList<cPEQQmlBand2*> mBands;
  cHPFQmlBand2* mHighPass = nullptr;
};

}  // namespace

class tst_PEQGraph : public QObject {
  Q_OBJECT

 private slots:
  void flatBellAtZeroDb() {
    cGraph g(1);
    const QPainterPath line = g.mBands[0]->linePath()->painterPath();
    const double zeroY = g.mGraph.Plot().YOfDb(0.0);
    QCOMPARE(zeroY, 163.0);
    QCOMPARE(g.mGraph.zeroYPos(), 163.5);
    QVERIFY(line.elementCount() >= 2);
    for (const QPointF& p : PointsOf(line)) QCOMPARE(p.y(), zeroY);
    QCOMPARE(PointsOf(line).first().x(), 0.0);
    QCOMPARE(PointsOf(line).last().x(), 649.0);
    QCOMPARE(Area(g.mBands[0]->path()->painterPath()), 0.0);
    QCOMPARE(Area(g.mGraph.combinedPath()->painterPath()), 0.0);
  }

  void widthIndexLimit() {
    cReportCapture reports;
    QCOMPARE(peqgraph::QOfWidth(44 << 8), 34.623);
    QCOMPARE(reports.Lines().size(), std::size_t(0));
    QCOMPARE(peqgraph::QOfWidth(50 << 8), 34.623);
    QVERIFY(reports.Contains("Width index out of range 50"));
    QCOMPARE(peqgraph::QOfWidth(0), 0.404);
    // Drawn the same way.
    cGraph g(2);
    for (cPEQQmlBand2* band : g.mBands) band->SetGain(12 * 256);
    g.mBands[0]->SetWidth(44 << 8);
    g.mBands[1]->SetWidth(60 << 8);
    QCOMPARE(g.mBands[0]->PointDb(), g.mBands[1]->PointDb());
  }

  void contourIgnoresGain() {
    cGraph g(2);
    for (cPEQQmlBand2* band : g.mBands) {
      band->SetFrequency(FrequencyToUWORD(1000.0));
      band->SetTypeFromDriver(nPEQ::LOW_CONTOUR);
    }
    g.mBands[1]->SetGain(12 * 256);
    RunPasses();
    QCOMPARE(g.mBands[0]->PointDb(), g.mBands[1]->PointDb());
    const std::vector<double>& db = g.mBands[0]->PointDb();
    // A shelf of 10^-0.45 (-9 dB) at the bottom, rising to 0 dB above.
    QVERIFY(std::abs(db.front() - 20.0 * -0.45) < 0.05);
    QVERIFY(std::abs(db.back()) < 0.5);
    QVERIFY(std::is_sorted(db.begin(), db.end()));
    QVERIFY(!g.mBands[0]->HasGain());
  }

  void bellPeakAndShelves() {
    cGraph g(3);
    g.mBands[0]->SetFrequency(FrequencyToUWORD(1000.0));
    g.mBands[0]->SetWidth(11 << 8);
    g.mBands[0]->SetGain(6 * 256);
    g.mBands[1]->SetTypeFromDriver(nPEQ::HPASS);
    g.mBands[1]->SetFrequency(FrequencyToUWORD(100.0));
    g.mBands[2]->SetTypeFromDriver(nPEQ::HFSHELF);
    g.mBands[2]->SetGain(-6 * 256);
    RunPasses();
    const auto peak = std::max_element(g.mBands[0]->PointDb().begin(), g.mBands[0]->PointDb().end());
    QVERIFY(std::abs(*peak - 6.0) < 0.05);
    // 12 dB per octave: (20 / 100)^2 at the left edge.
    QVERIFY(std::abs(g.mBands[1]->PointDb().front() - 40.0 * std::log10(0.2)) < 0.1);
    QVERIFY(std::abs(g.mBands[2]->PointDb().back() - (-6.0)) < 0.05);
    // The combined curve is their sum, point by point.
    const QVector<QPointF> combined = PointsOf(g.mGraph.combinedPathLine()->painterPath());
    for (const QPointF& p : combined) {
      const std::size_t i = std::size_t(p.x());
      const double sum = g.mBands[0]->PointDb()[i] + g.mBands[1]->PointDb()[i] + g.mBands[2]->PointDb()[i];
      QCOMPARE(p.y(), g.mGraph.Plot().YOfDb(sum));
    }
  }

  void clampedDrags() {
    cGraph g(1);
    cPEQQmlBand2* band = g.mBands[0];
    band->setFrequencyRangeMin(100.0);
    band->setFrequencyRangeMax(1000.0);
    QSignalSpy freq(band, &cPEQQmlBandBase2::FreqChanged);
    QSignalSpy gain(band, &cPEQQmlBandBase2::GainChanged);
    band->setDragPos(-50, 10000);  // left of the plot and below it
    QCOMPARE(band->Frequency(), FrequencyToUWORD(100.0));
    QCOMPARE(band->Gain(), GAIN(-15 * 256));
    band->setDragPos(100000, -40);  // right and above
    QCOMPARE(band->Frequency(), FrequencyToUWORD(1000.0));
    QCOMPARE(band->Gain(), GAIN(15 * 256));
    QCOMPARE(freq.count(), 2);
    QCOMPARE(gain.count(), 2);
    band->setDragPos(100000, -40);
    QCOMPARE(freq.count(), 2);
    // A high-pass band moves in frequency only.
    cGraph h(0, true);
    h.mHighPass->setDragPos(0, 0);
    QCOMPARE(h.mHighPass->Frequency(), peqgraph::LowestCode());
    QCOMPARE(h.mHighPass->Gain(), GAIN(0));
  }

  void mappings() {
    peqgraph::sPlot plot;
    QCOMPARE(plot.PixelsPerDb(), 8.125);
    QCOMPARE(plot.XOfCode(peqgraph::LowestCode()), 0.0);
    QCOMPARE(plot.XOfCode(peqgraph::HighestCode()), 649.0);
    QCOMPARE(plot.CodeOfX(649.0), int(peqgraph::HighestCode()));
    QCOMPARE(plot.GainOfY(163.0), int(std::trunc((20.0 - 163.0 / 8.125) * 256.0)));
    QCOMPARE(plot.Normalised(peqgraph::HighestCode(), -20.0), QPointF(1.0, 1.0));
  }

  void twoDragsInOneTurnGiveOneFullPass() {
    cGraph g(2);
    cPEQQmlBand2* band = g.mBands[0];
    QSignalSpy line(band->linePath(), &QPainterPathWrapper::painterPathChanged);
    QSignalSpy other(g.mBands[1]->linePath(), &QPainterPathWrapper::painterPathChanged);
    QSignalSpy combined(g.mGraph.combinedPathLine(), &QPainterPathWrapper::painterPathChanged);
    QSignalSpy handle(band, &cPEQQmlBandBase2::graphDragPointChanged);
    band->setDragPos(200, 100);
    band->setDragPos(300, 80);
    QCOMPARE(line.count(), 2);  // coarse, at once
    QVERIFY(!IsFullResolution(band->linePath()->painterPath()));
    QCOMPARE(combined.count(), 0);
    RunPasses();
    QCOMPARE(line.count(), 3);
    QVERIFY(IsFullResolution(band->linePath()->painterPath()));
    QCOMPARE(combined.count(), 1);
    QVERIFY(IsFullResolution(g.mGraph.combinedPathLine()->painterPath()));
    QCOMPARE(other.count(), 0);
    QCOMPARE(handle.count(), 1);
  }

  // A band that asked for recalculation used to ask again after its coarse
  // pass, so the full pass never came.
  void typeChangeReachesTheFullPass() {
    cGraph g(1, true);
    cPEQQmlBand2* band = g.mBands[0];
    QSignalSpy type(band, &cPEQQmlBand2::typeChanged);
    band->setType(nPEQ::LFSHELF);
    RunPasses();
    g.mGraph.SetBandType(0, nPEQ::HFSHELF);
    g.mGraph.SetBandType(0, nPEQ::HFSHELF);
    QCOMPARE(type.count(), 2);
    QVERIFY(!IsFullResolution(band->linePath()->painterPath()));
    RunPasses();
    QVERIFY(!band->CoarsePending() && !band->RecalculationWanted());
    QVERIFY(IsFullResolution(band->linePath()->painterPath()));
    QVERIFY(IsFullResolution(g.mGraph.combinedPathLine()->painterPath()));
    // The high-pass band's slope, and the combined curve after it.
    g.mHighPass->SetFrequency(FrequencyToUWORD(200.0));
    RunPasses();
    QSignalSpy combined(g.mGraph.combinedPathLine(), &QPainterPathWrapper::painterPathChanged);
    g.mGraph.SetBandType(1, nPEQ::HPF_BUTTERWORTH_24_DB);
    QCOMPARE(g.mHighPass->highPassType(), nPEQ::HPF_BUTTERWORTH_24_DB);
    RunPasses();
    QCOMPARE(combined.count(), 2);  // coarse, then full
    QVERIFY(IsFullResolution(g.mGraph.combinedPathLine()->painterPath()));
    QVERIFY(!g.mHighPass->RecalculationWanted());
  }

  void gainRangeRefusesAnEmptyRange() {
    cReportCapture reports;
    cGraph g(1);
    QSignalSpy changed(&g.mGraph, &cPEQQmlBackEnd2::gainRangeChanged);
    QVERIFY(changed.isValid());
    g.mGraph.setGainRangeMin(20);
    g.mGraph.setGainRangeMax(-25);
    QCOMPARE(g.mGraph.gainRangeMin(), -20);
    QCOMPARE(g.mGraph.gainRangeMax(), 20);
    QCOMPARE(reports.Count("Gain range refused"), 2);
    QCOMPARE(changed.count(), 0);
    QVERIFY(g.mGraph.setGainRange(-30, 30));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(g.mGraph.Plot().PixelsPerDb(), 325.0 / 60.0);
    RunPasses();
    QCOMPARE(PointsOf(g.mBands[0]->linePath()->painterPath()).first().y(), g.mGraph.Plot().YOfDb(0.0));
    // The band's own range refuses the same.
    g.mBands[0]->setGainRangeMin(16.0);
    QCOMPARE(g.mBands[0]->gainRangeMin(), -15.0);
  }

  void pinch() {
    cGraph g(1, true);
    cPEQQmlBand2* band = g.mBands[0];
    band->SetWidth(0x1000);
    QSignalSpy width(band, &cPEQQmlBandBase2::WidthChanged);
    g.mGraph.setPinchDelta(0, 1.0);
    // 4096 + (0 - 11392) / 50 x 1, in double.
    QCOMPARE(band->Width(), UWORD(3868));
    g.mGraph.setPinchDelta(0, -1e9);
    QCOMPARE(band->Width(), UWORD(11392));
    g.mGraph.setPinchDelta(0, 1e9);
    QCOMPARE(band->Width(), UWORD(0));
    g.mGraph.setPinchDelta(0, std::numeric_limits<double>::quiet_NaN());
    g.mGraph.setPinchDelta(7, 1.0);
    QCOMPARE(width.count(), 3);
    g.mGraph.setPinchDelta(1, 1.0);  // the high-pass band has no width
    QCOMPARE(g.mHighPass->Width(), UWORD(0));
  }

  void sizeGridAndLabels() {
    cGraph g(1);
    QSignalSpy labels(&g.mGraph, &cPEQQmlBackEnd2::scaleTextListChanged);
    g.mGraph.setWidth(400.0);
    QCOMPARE(g.mGraph.Plot().mWidth, 649);  // not until allowed
    g.mGraph.setXScaleMargin(20.0f);
    g.mGraph.setYScaleMargin(30.0f);
    g.mGraph.setAllowSizeChanges(true);
    g.mGraph.setHeight(200.0);
    QCOMPARE(g.mGraph.Plot().mWidth, 400);
    QCOMPARE(g.mGraph.Plot().mHeight, 200);
    QCOMPARE(PointsOf(g.mBands[0]->linePath()->painterPath()).last().x(), 400.0);
    const QList<cPEQScaleText*>& texts = g.mGraph.ScaleTexts();
    QCOMPARE(texts.size(), 8);
    QCOMPARE(texts[4]->scaleText(), QString("1k"));
    QCOMPARE(texts[4]->position(), QPointF(g.mGraph.Plot().XOfCode(FrequencyToUWORD(1000.0)), 190.0));
    // Major lines at 100 Hz, 1 kHz and 10 kHz, from the top to the margin.
    const QVector<QPointF> major = PointsOf(g.mGraph.svgPathDataScaleMajor()->painterPath());
    QCOMPARE(major.size(), 6);
    QCOMPARE(major[2], QPointF(g.mGraph.Plot().XOfCode(FrequencyToUWORD(1000.0)) + 0.5, 0.0));
    QCOMPARE(major[3].y(), 180.0);
    // 20 Hz to 90 Hz lie left of the 30 pixel margin except the last few.
    for (const QPointF& p : PointsOf(g.mGraph.svgPathDataScaleMinor()->painterPath())) QVERIFY(p.x() >= 30.0);
    RunPasses();
    QVERIFY(labels.count() >= 2);
  }

  void driverSlotsAndNullDriver() {
    cNetworkScope net;
    cReportCapture reports;
    cGraph g(2);
    cPEQDriver driver("Graph Driver", 2);
    driver.WriteBandGain(99, 256);
    QCOMPARE(driver.GetBandGain(99), GAIN(0));
    g.mGraph.SetBandGain(99, 256);
    g.mGraph.SetBandFreq(99, 20000);
    g.mGraph.setDriver(&driver);
    QSignalSpy changed(&g.mGraph, &cPEQQmlBackEnd2::driverChanged);
    // The driver has heard no range yet: the bands keep theirs.
    QCOMPARE(g.mBands[0]->FrequencyRangeMaxCode(), UWORD(56622));
    g.mBands[1]->setDragPos(300, 50);
    QCOMPARE(g.mBands[1]->Frequency(), UWORD(peqgraph::sPlot().CodeOfX(300)));
    QCOMPARE(driver.GetBandFreq(1), g.mBands[1]->Frequency());
    QCOMPARE(driver.GetBandGain(1), g.mBands[1]->Gain());
    emit driver.GainChanged(0, 3 * 256);
    QCOMPARE(g.mBands[0]->Gain(), GAIN(3 * 256));
    emit driver.GainChanged(5, 3 * 256);  // no such band
    g.mGraph.setDriver(nullptr);
    QCOMPARE(changed.count(), 1);
    QVERIFY(g.mGraph.driver() == nullptr);
    g.mBands[1]->setDragPos(100, 50);
    g.mGraph.setPinchDelta(1, 2.0);
    RunPasses();
    emit driver.GainChanged(0, 9 * 256);  // disconnected
    QCOMPARE(g.mBands[0]->Gain(), GAIN(3 * 256));
  }

  // QML may set the driver before it appends the bands.
  void driverSetBeforeTheBands() {
    cNetworkScope net;
    cPEQDriver driver("Early Graph Driver", 1);
    driver.WriteBandGain(0, 512);
    driver.WriteBandFreq(0, 30000);
    cPEQQmlBackEnd2 graph;
    graph.setDriver(&driver);
    auto* band = new cPEQQmlBand2(&graph);
    graph.AppendBand(band);
    graph.setQMLPEQObjectAndStart();
    QCOMPARE(band->Gain(), GAIN(512));
    QCOMPARE(band->Frequency(), UWORD(30000));
  }

  void bypassAndCombined() {
    cGraph g(2);
    g.mBands[0]->SetGain(6 * 256);
    RunPasses();
    QSignalSpy all(&g.mGraph, &cPEQQmlBackEnd2::allBandsBypassedChanged);
    g.mGraph.SetBypass(0, true);
    RunPasses();
    // The bypassed band leaves the combined curve flat.
    for (const QPointF& p : PointsOf(g.mGraph.combinedPathLine()->painterPath())) QCOMPARE(p.y(), 163.0);
    QVERIFY(!g.mGraph.allBandsBypassed());
    g.mGraph.SetBypass(1, true);
    QVERIFY(g.mGraph.allBandsBypassed());
    QCOMPARE(all.count(), 1);
  }

  // The whole equaliser out: every band is out and the combined curves,
  // the drawn one and the device's, are flat; back in, they are not.
  void equaliserOutDrawsFlat() {
    cGraph g(2);
    g.mGraph.setShowQuantised(true);
    g.mBands[0]->SetGain(6 * 256);
    g.mGraph.SetBypass(1, true);
    RunPasses();
    const auto flat = [](const QPainterPath& path) {
      for (const QPointF& p : PointsOf(path)) {
        if (p.y() != 163.0) return false;
      }
      return !path.isEmpty();
    };
    QVERIFY(!flat(g.mGraph.combinedPathLine()->painterPath()));
    QSignalSpy out0(g.mBands[0], &cPEQQmlBandBase2::bandOutChanged);
    QSignalSpy out1(g.mBands[1], &cPEQQmlBandBase2::bandOutChanged);
    g.mGraph.SetFullyBypassed(true);
    RunPasses();
    QVERIFY(g.mBands[0]->bandOut() && g.mBands[1]->bandOut());
    QVERIFY(!g.mBands[0]->bypassed());
    // The bypassed band was out already.
    QCOMPARE(out0.count(), 1);
    QCOMPARE(out1.count(), 0);
    QVERIFY(flat(g.mGraph.combinedPathLine()->painterPath()));
    QVERIFY(flat(g.mGraph.quantisedCombinedPathLine()->painterPath()));
    QCOMPARE(Area(g.mGraph.combinedPath()->painterPath()), 0.0);

    g.mGraph.SetFullyBypassed(false);
    RunPasses();
    QVERIFY(!g.mBands[0]->bandOut() && g.mBands[1]->bandOut());
    QVERIFY(!flat(g.mGraph.combinedPathLine()->painterPath()));
    QVERIFY(!flat(g.mGraph.quantisedCombinedPathLine()->painterPath()));
  }

  // Handles that would cover each other stand side by side, centred on
  // their points; apart, each stands on its own point.
  void overlappingHandles() {
    cGraph g(3);
    g.mGraph.setHandleSpacing(20.0);
    QCOMPARE(g.mBands[0]->handleOffset(), QPointF(-20.0, 0.0));
    QCOMPARE(g.mBands[1]->handleOffset(), QPointF(0.0, 0.0));
    QCOMPARE(g.mBands[2]->handleOffset(), QPointF(20.0, 0.0));
    // The middle one stands on its point, but in the row.
    QVERIFY(g.mBands[1]->handleCrowded());
    QSignalSpy moved(g.mBands[0], &cPEQQmlBandBase2::handleOffsetChanged);
    g.mBands[2]->SetFrequency(FrequencyToUWORD(5000.0));
    QCOMPARE(g.mBands[0]->handleOffset(), QPointF(-10.0, 0.0));
    QCOMPARE(g.mBands[1]->handleOffset(), QPointF(10.0, 0.0));
    QCOMPARE(g.mBands[2]->handleOffset(), QPointF());
    QVERIFY(!g.mBands[2]->handleCrowded() && g.mBands[0]->handleCrowded());
    QCOMPARE(moved.count(), 1);
    // Nearer than the spacing is near enough; the drag point is what counts.
    g.mBands[1]->SetGain(256);
    QCOMPARE(g.mBands[1]->handleOffset(), QPointF(10.0, 0.0));
    g.mBands[1]->SetGain(6 * 256);
    QCOMPARE(g.mBands[1]->handleOffset(), QPointF());
    g.mGraph.setHandleSpacing(0.0);
    QCOMPARE(g.mBands[0]->handleOffset(), QPointF());

    // A handle near two that are apart joins them in one row, drawn left to
    // right as the points lie, a spacing apart, around the points' mean.
    const std::vector<peqgraph::sHandlePlace> places =
        peqgraph::SpreadHandles({{0.0, 0.0}, {30.0, 0.0}, {15.0, 0.0}, {100.0, 0.0}}, 20.0);
    QCOMPARE(places[0].mOffset, QPointF(-5.0, 0.0));
    QCOMPARE(places[2].mOffset, QPointF(0.0, 0.0));
    QCOMPARE(places[1].mOffset, QPointF(5.0, 0.0));
    QVERIFY(places[2].mCrowded && !places[3].mCrowded);
    QCOMPARE(places[3].mOffset, QPointF());
    // Points near in the other order than the bands' are not drawn on top
    // of each other (offsets from their own points would put them 1 px
    // apart).
    const std::vector<peqgraph::sHandlePlace> swapped = peqgraph::SpreadHandles({{19.0, 0.0}, {0.0, 3.0}}, 20.0);
    QCOMPARE(swapped[1].mOffset, QPointF(-0.5, 0.0));
    QCOMPARE(swapped[0].mOffset, QPointF(0.5, 0.0));
  }

  // Level lines every 5 dB inside the range, not at 0 dB, which has its
  // own line; a new range draws them anew.
  void levelLines() {
    cGraph g(1);
    const auto rows = [&g] {
      QList<double> ys;
      const QPainterPath path = g.mGraph.gainGridPath()->painterPath();
      for (int i = 0; i < path.elementCount(); i += 2) ys.append(path.elementAt(i).y);
      return ys;
    };
    QCOMPARE(rows().size(), 6);
    QVERIFY(g.mGraph.setGainRange(-12, 12));
    const peqgraph::sPlot& plot = g.mGraph.Plot();
    QCOMPARE(rows(), (QList<double>{std::floor(plot.YOfDb(-10)) + 0.5, std::floor(plot.YOfDb(-5)) + 0.5,
                                    std::floor(plot.YOfDb(5)) + 0.5, std::floor(plot.YOfDb(10)) + 0.5}));
  }

  // "Output" adds the panel's pass filters and the strip's gain to the
  // bands' device curves; muted it is silence, at the plot's foot.
  void outputChain() {
    cGraph g(1);
    g.mBands[0]->SetFrequency(FrequencyToUWORD(1000.0));
    g.mBands[0]->SetGain(6 * 256);
    g.mBands[0]->SetWidth(40 << 8);
    g.mGraph.setProperty("outputHighPassFrequency", int(FrequencyToUWORD(300.0)));
    g.mGraph.setProperty("outputHighPassOn", true);
    g.mGraph.setProperty("outputHighPassSections", 1);
    g.mGraph.setProperty("outputGain", -3 * 256);
    g.mGraph.setShowOutput(true);
    RunPasses();
    const QPainterPath line = g.mGraph.outputPathLine()->painterPath();
    QVERIFY(!line.isEmpty());
    const peqgraph::sPlot& plot = g.mGraph.Plot();
    const auto levelAt = [&](double hz) {
      const double x = std::round(plot.XOfCode(FrequencyToUWORD(hz)));
      for (int i = 0; i < line.elementCount(); ++i) {
        if (line.elementAt(i).x >= x) return plot.mGainMax - (line.elementAt(i).y - 0.5) / plot.PixelsPerDb();
      }
      return std::nan("");
    };
    // The bell's top less 3 dB (less the whole decibels the strip rounds to).
    const double gain = cControlStripDriver::RealisedGainDb(-3 * 256);
    QVERIFY2(std::abs(levelAt(1000.0) - (6.0 + gain)) < 0.5, qPrintable(QString::number(levelAt(1000.0))));
    // Two octaves below the 12 dB high-pass's corner: about -24 dB more.
    QVERIFY(levelAt(75.0) < gain - 15.0);
    QVERIFY(std::abs(levelAt(15000.0) - gain) < 0.2);
    g.mGraph.setProperty("outputMuted", true);
    RunPasses();
    for (int i = 0; i < g.mGraph.outputPathLine()->painterPath().elementCount(); ++i) {
      QCOMPARE(g.mGraph.outputPathLine()->painterPath().elementAt(i).y, double(plot.mHeight));
    }
    g.mGraph.setShowOutput(false);
    QVERIFY(g.mGraph.outputPathLine()->painterPath().isEmpty());
  }

  void thinning() {
    QVector<QPointF> straight;
    for (int i = 0; i <= 100; ++i) straight.append(QPointF(i, 5.0 + 0.5 * i));
    const QVector<QPointF> thinned = peqgraph::ThinPoints(straight);
    QCOMPARE(thinned.size(), 2);
    QCOMPARE(thinned.first(), straight.first());
    QCOMPARE(thinned.last(), straight.last());
    // A bend of 0.1 pixel stays, one of 0.09 goes.
    QCOMPARE(peqgraph::ThinPoints({{0, 0}, {1, 0.1}, {2, 0}}).size(), 3);
    QCOMPARE(peqgraph::ThinPoints({{0, 0}, {1, 0.09}, {2, 0}}).size(), 2);
    QCOMPARE(peqgraph::ThinPoints({{3, 3}}).size(), 1);
  }

  void quantisedCurves() {
    cGraph g(3);
    QSignalSpy marks(&g.mGraph, &cPEQQmlBackEnd2::quantisedMismatchChanged);
    g.mBands[0]->SetFrequency(FrequencyToUWORD(1000.0));
    g.mBands[0]->SetWidth(11 << 8);
    g.mBands[0]->SetGain(6 * 256);
    g.mBands[2]->SetTypeFromDriver(nPEQ::LFSHELF);
    g.mBands[2]->SetFrequency(FrequencyToUWORD(10000.0));
    g.mBands[2]->SetGain(15 * 256);
    RunPasses();
    // Off by default: nothing computed.
    QVERIFY(g.mBands[0]->quantisedLinePath()->painterPath().isEmpty());
    QCOMPARE(g.mGraph.quantisedMismatchCount(), 0);

    g.mGraph.setShowQuantised(true);
    RunPasses();
    QVERIFY(!g.mGraph.quantisedCombinedPathLine()->painterPath().isEmpty());
    // A bell well below Nyquist: the device plays what is drawn.
    QVERIFY(g.mBands[0]->quantisedDeviation() < cPEQQmlBandBase2::kMismatchDb);
    QVERIFY(!g.mBands[0]->quantisedMismatch());
    // A flat band is flat on the device too.
    for (double db : g.mBands[1]->QuantisedPointDb()) QVERIFY(std::abs(db) < 0.001);
    // A shelf at 10 kHz: the bilinear design departs from the model near Nyquist.
    QVERIFY(g.mBands[2]->quantisedDeviation() > cPEQQmlBandBase2::kMismatchDb);
    QVERIFY(!g.mBands[2]->quantisedSaturated());
    QCOMPARE(g.mGraph.quantisedMismatchBands(), QVariantList{2});
    QCOMPARE(marks.count(), 1);

    // +40 dB needs a coefficient beyond the fixed point: marked whatever the curves say.
    g.mBands[0]->SetTypeFromDriver(nPEQ::HFSHELF);
    g.mBands[0]->SetGain(40 * 256);
    RunPasses();
    QVERIFY(g.mBands[0]->quantisedSaturated());
    QCOMPARE(g.mGraph.quantisedMismatchBands(), (QVariantList{0, 2}));
    QCOMPARE(g.mGraph.quantisedMismatchCount(), 2);
    QCOMPARE(marks.count(), 2);

    g.mGraph.setShowQuantised(false);
    RunPasses();
    QCOMPARE(g.mGraph.quantisedMismatchCount(), 0);
  }
};

QTEST_GUILESS_MAIN(tst_PEQGraph)
#include "tst_PEQGraph.moc"
