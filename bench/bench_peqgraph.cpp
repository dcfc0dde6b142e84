#include <benchmark/benchmark.h>
#include <QList>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBackEnd2.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBand2.h"

namespace {

// The High panel's six bands at the graph's default size (649 x 325), set
// as a user might: shelves at the ends, bells of several widths between.
struct cSixBandGraph {
  cSixBandGraph() {
    const double hz[] = {60.0, 180.0, 700.0, 2500.0, 6000.0, 12000.0};
    const int types[] = {nPEQ::LFSHELF, nPEQ::BELL, nPEQ::BELL, nPEQ::BELL, nPEQ::BELL, nPEQ::HFSHELF};
    for (int i = 0; i < 6; ++i) {
      auto* band = new cPEQQmlBand2(&mGraph);
      mGraph.AppendBand(band);
      band->SetTypeFromDriver(UBYTE(types[i]));
      band->SetFrequency(FrequencyToUWORD(hz[i]));
      band->SetWidth(UWORD((8 + 5 * i) << 8));
      band->SetGain(GAIN((i % 2 == 0 ? 6 : -4) * 256));
      mBands.append(band);
    }
    mGraph.setQMLPEQObjectAndStart();
    mGraph.RecalculateAllNow();
  }
  cPEQQmlBackEnd2 mGraph;
  QList<cPEQQmlBand2*> mBands;
};

// Every band and the combined curve at full resolution, thinned into paths.
void BM_PEQGraphFullRecalculation(benchmark::State& state) {
  cSixBandGraph six;
  for (auto _ : state) {
    six.mGraph.RecalculateAllNow();
    benchmark::ClobberMemory();
  }
  state.counters["width"] = six.mGraph.Plot().mWidth;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PEQGraphFullRecalculation)->Unit(benchmark::kMicrosecond);

// The same with the device's curves on, none of them cached: six band
// designs quantised and evaluated at every pixel, and their sum.
void BM_PEQGraphFullRecalculationWithDeviceCurves(benchmark::State& state) {
  cSixBandGraph six;
  six.mGraph.setShowQuantised(true);
  for (auto _ : state) {
    state.PauseTiming();
    for (cPEQQmlBand2* band : six.mBands) band->RebuildPointGrid();
    state.ResumeTiming();
    six.mGraph.RecalculateAllNow();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PEQGraphFullRecalculationWithDeviceCurves)->Unit(benchmark::kMicrosecond);

// One move of a dragged handle: the band's frequency and gain from the
// pointer, its curve at every tenth pixel and its two paths. The full pass
// waits for the event loop, which this loop never returns to.
void BM_PEQGraphCoarseDragStep(benchmark::State& state) {
  cSixBandGraph six;
  cPEQQmlBand2* band = six.mBands[2];
  int step = 0;
  for (auto _ : state) {
    ++step;
    band->setDragPos(200 + (step % 2) * 40, 100 + (step % 3) * 20);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PEQGraphCoarseDragStep)->Unit(benchmark::kMicrosecond);

}  // namespace
