#include <benchmark/benchmark.h>
#include <memory>

#include "OrvelGUI/Config/StandaloneAssembly.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "OrvelGUI/Core/HPFDriver.h"
#include "OrvelGUI/Core/LPFDriver.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Core/PassFilterUnit.h"

namespace {

// Designs, quantises and stores every biquad of the three panels: both pass
// filters and both equalisers of Low, Mid and High (30 biquads), as a recall
// that changes everything does before it sends.
void BM_RecomputeAllBiquads(benchmark::State& state) {
  cStandaloneAssembly assembly(false);
  cApplicationCore& core = assembly.Core();
  {
    int biquads = 0;
    for (auto _ : state) {
      biquads = 0;
      for (int p = 0; p < cApplicationCore::kPanelCount; ++p) {
        const cLowMidHigh& panel = *core.GetPanel(p);
        for (cPassFilterUnit* unit : {static_cast<cPassFilterDriver*>(panel.GetHighPass())->GetUnit(),
                                      static_cast<cPassFilterDriver*>(panel.GetLowPass())->GetUnit()}) {
          for (UBYTE i = 0; i < unit->GetBiquadCount(); ++i, ++biquads) unit->UpdateBiquad(i);
        }
        for (int side = 0; side < 2; ++side) {
          cParametricEQUnit* unit = panel.GetEQ(side)->GetUnit();
          for (UBYTE band = 0; band < unit->GetBandCount(); ++band, ++biquads) unit->UpdateBiquad(band);
        }
      }
      benchmark::ClobberMemory();
    }
    state.counters["biquads"] = biquads;
    state.SetItemsProcessed(state.iterations());
  }
}
BENCHMARK(BM_RecomputeAllBiquads);

}  // namespace
