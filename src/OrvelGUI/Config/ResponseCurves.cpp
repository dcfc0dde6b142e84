#include "OrvelGUI/Config/ResponseCurves.h"

#include <QTextStream>

#include "OrvelGUI/Config/ChainResponse.h"
#include "OrvelGUI/Config/OfflineAssembly.h"

namespace {

const QColor kPanelColours[3] = {QColor(200, 40, 40), QColor(30, 140, 60), QColor(40, 80, 200)};
const QColor kSumColour(40, 40, 40);

template <typename Response>
sResponseCurve Curve(const QString& name, const QColor& colour, bool dashed, const std::vector<double>& grid,
                     Response response) {
  sResponseCurve curve{name, {}, {}, {}, colour, dashed};
  for (double hz : grid) {
    const sResponseValues values = ValuesOf(response(hz));
    curve.mDecibels.push_back(values.mDb);
    curve.mPhaseDegrees.push_back(values.mPhaseDegrees);
    curve.mGroupDelayMs.push_back(values.mGroupDelayMs);
  }
  return curve;
}

}  // namespace

std::vector<sResponseCurve> OutputChainCurves(const cOfflineAssembly& assembly, const sOutputSelection& selection,
                                              const std::vector<double>& grid) {
  const std::vector<sFilterSlot> targets = FilterSlots(assembly);
  std::vector<sResponseCurve> curves;
  for (int panel = 0; panel < 3; ++panel) {
    for (int side = 0; side < 2; ++side) {
      if (!selection.Includes(panel, side)) continue;
      curves.push_back(Curve(OutputName(panel, side), kPanelColours[panel], side == 1, grid,
                             [&](double hz) { return ChainResponse(targets, panel, side, hz); }));
    }
  }
  return curves;
}

std::vector<sResponseCurve> SideSumCurves(const cOfflineAssembly& assembly, int side, const std::vector<double>& grid) {
  const std::vector<sFilterSlot> targets = FilterSlots(assembly);
  const std::array<sStripPath, 8> strips = ReadStripPaths(assembly);
  const sConfiguration configuration = assembly.Read();
  std::vector<sResponseCurve> curves;
  for (int s = 0; s < 2; ++s) {
    if (side >= 0 && side != s) continue;
    curves.push_back(Curve(s == 0 ? "Sum L" : "Sum R", kSumColour, s == 1, grid,
                           [&](double hz) { return SideSumResponse(targets, strips, configuration, s, hz); }));
  }
  return curves;
}

QString ResponseTable(const std::vector<double>& grid, const std::vector<sResponseCurve>& curves, bool csv) {
  QString text;
  QTextStream out(&text);
  out << (csv ? "frequency_hz" : "      Hz");
  for (const sResponseCurve& curve : curves) {
    if (csv) {
      out << "," << curve.mName << "," << curve.mName << " phase_deg," << curve.mName << " group_delay_ms";
    } else {
      out << QString("%1%2%3").arg(curve.mName + " dB", 12).arg(curve.mName + " deg", 12).arg(curve.mName + " ms", 12);
    }
  }
  out << "\n";
  for (std::size_t i = 0; i < grid.size(); ++i) {
    out << (csv ? QString::number(grid[i], 'f', 6) : QString("%1").arg(grid[i], 8, 'f', 1));
    for (const sResponseCurve& curve : curves) {
      if (csv) {
        out << "," << QString::number(curve.mDecibels[i], 'f', 4) << ","
            << QString::number(curve.mPhaseDegrees[i], 'f', 3) << ","
            << QString::number(curve.mGroupDelayMs[i], 'f', 6);
      } else {
        out << QString("%1%2%3")
                   .arg(curve.mDecibels[i], 12, 'f', 2)
                   .arg(curve.mPhaseDegrees[i], 12, 'f', 1)
                   .arg(curve.mGroupDelayMs[i], 12, 'f', 4);
      }
    }
    out << "\n";
  }
  return text;
}
