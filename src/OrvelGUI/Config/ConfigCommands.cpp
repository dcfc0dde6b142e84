#include "OrvelGUI/Config/ConfigCommands.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QTextStream>
#include <cmath>
#include <cstdio>

#include "OrvelGUI/Config/CamillaExport.h"
#include "OrvelGUI/Config/CliArguments.h"
#include "OrvelGUI/Config/ConfigDocument.h"
#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Config/DeviceVerify.h"
#include "OrvelGUI/Config/FilterChains.h"
#include "OrvelGUI/Config/FilterImport.h"
#include "OrvelGUI/Config/FilterText.h"
#include "OrvelGUI/Config/OfflineAssembly.h"
#include "OrvelGUI/Config/ResponseCurves.h"
#include "OrvelGUI/Config/ResponsePlot.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
// A device that stops answering during the read-back is given up on after this.
constexpr int kReadBackTimeoutMs = 4000;
// How far an imported filter may come from what the text asks for.
constexpr double kDefaultMaxErrorDb = 1.0;

int Fail(const QString& message) {
  std::fprintf(stderr, "orvel-cli: %s\n", qPrintable(message));
  return kFailed;
}

int Usage(const char* command, const char* arguments, const QString& problem) {
  std::fprintf(stderr, "orvel-cli: %s\norvel-cli: usage: orvel-cli %s %s\n", qPrintable(problem), command, arguments);
  return kUsage;
}

void Print(const QString& text) { std::fputs(text.toUtf8().constData(), stdout); }

// --panel and --side, each optional.
bool ParseSelection(const sCommandLine& line, sOutputSelection& selection, QString& error) {
  if (line.mOptions.contains("--panel") && !ParsePanelName(line.Option("--panel"), selection.mPanel)) {
    error = "--panel takes low, mid or high";
    return false;
  }
  if (line.mOptions.contains("--side") && !ParseSideName(line.Option("--side"), false, selection.mSide)) {
    error = "--side takes left or right";
    return false;
  }
  return true;
}

bool SameConfiguration(const sConfiguration& a, const sConfiguration& b) {
  return configjson::Encode(a) == configjson::Encode(b);
}

}  // namespace

int RunDefaultsCommand(const QStringList& arguments) {
  sCommandLine line;
  QString error;
  if (!ParseCommandLine(arguments, {}, {}, 1, line, error)) return Usage("defaults", "OUT", error);
  cOfflineAssembly assembly;
  if (!assembly.Save(line.mPositional.at(0), error)) return Fail(error);
  return kOk;
}

int RunCreateCommand(const QStringList& arguments) {
  sCommandLine line;
  QString error;
  if (!ParseCommandLine(arguments, {}, {}, 2, line, error)) return Usage("create", "JSON OUT", error);
  const QString json = line.mPositional.at(0);
  QByteArray text;
  QJsonObject document;
  if (!ReadInput(json, text, error)) return Fail(error);
  if (!configjson::ParseDocument(text, document, error)) return Fail(json + ": " + error);
  cOfflineAssembly assembly;
  sConfiguration configuration = assembly.Read();
  if (!configjson::DecodeOver(document, configuration, error)) return Fail(json + ": " + error);
  if (!assembly.Apply(configuration, error)) return Fail(error);
  // The units keep what they are given; anything else would be a file that
  // does not hold what was asked for.
  if (!SameConfiguration(assembly.Read(), configuration))
    return Fail("the units did not take the configuration as given");
  if (!assembly.Save(line.mPositional.at(1), error)) return Fail(error);
  return kOk;
}

int RunBiquadsCommand(const QStringList& arguments) {
  sCommandLine line;
  QString error;
  if (!ParseCommandLine(arguments, {}, {"--json"}, 1, line, error)) return Usage("biquads", "FILE [--json]", error);
  cOfflineAssembly assembly;
  if (!assembly.Recall(line.mPositional.at(0), error)) return Fail(error);
  const std::vector<sFilterSlot> targets = FilterSlots(assembly);
  if (line.Has("--json")) {
    Print(QString::fromUtf8(QJsonDocument(FilterSlotsJson(targets, assembly.Read())).toJson(QJsonDocument::Indented)));
  } else {
    Print(DescribeFilterSlots(targets, assembly.Read()));
  }
  return kOk;
}

int RunResponseCommand(const QStringList& arguments) {
  static const char* kArguments = "FILE [--panel low|mid|high | --sum] [--side left|right] [--csv | --png OUT]";
  sCommandLine line;
  sOutputSelection selection;
  QString error;
  if (!ParseCommandLine(arguments, {"--panel", "--side", "--png"}, {"--csv", "--sum"}, 1, line, error) ||
      !ParseSelection(line, selection, error)) {
    return Usage("response", kArguments, error);
  }
  if (line.Has("--csv") && line.mOptions.contains("--png"))
    return Usage("response", kArguments, "--csv or --png, not both");
  const bool sum = line.Has("--sum");
  if (sum && line.mOptions.contains("--panel"))
    return Usage("response", kArguments, "--sum adds the outputs of all three panels: no --panel with it");
  cOfflineAssembly assembly;
  if (!assembly.Recall(line.mPositional.at(0), error)) return Fail(error);
  const std::vector<double> grid = ResponseGrid();
  const std::vector<sResponseCurve> curves =
      sum ? SideSumCurves(assembly, selection.mSide, grid) : OutputChainCurves(assembly, selection, grid);
  if (line.mOptions.contains("--png")) {
    const QString title = QString(sum ? "Summed response" : "Response") + " of " +
                          QFileInfo(line.mPositional.at(0)).fileName() + " at 96 kHz";
    if (!WriteResponsePng(line.Option("--png"), title, grid, curves, error)) return Fail(error);
    return kOk;
  }
  Print(ResponseTable(grid, curves, line.Has("--csv")));
  return kOk;
}

int RunExportCommand(const QStringList& arguments) {
  static const char* kArguments = "FILE --format rew|camilladsp|text [--panel low|mid|high] [--side left|right]";
  sCommandLine line;
  sOutputSelection selection;
  QString error;
  if (!ParseCommandLine(arguments, {"--format", "--panel", "--side"}, {}, 1, line, error) ||
      !ParseSelection(line, selection, error)) {
    return Usage("export", kArguments, error);
  }
  const QString format = line.Option("--format");
  if (format != "rew" && format != "camilladsp" && format != "text") {
    return Usage("export", kArguments, "--format takes rew, camilladsp or text");
  }
  if (format == "camilladsp" && (line.mOptions.contains("--panel") || line.mOptions.contains("--side"))) {
    return Usage("export", kArguments, "--format camilladsp writes the whole processor: no --panel or --side");
  }
  cOfflineAssembly assembly;
  if (!assembly.Recall(line.mPositional.at(0), error)) return Fail(error);
  const QString source = QFileInfo(line.mPositional.at(0)).fileName();
  if (format == "rew") {
    Print(ExportFilterSettings(assembly.Read(), FilterSlots(assembly), selection, source));
  } else if (format == "camilladsp") {
    QString yaml;
    if (!ExportCamillaConfiguration(assembly, source, yaml, error)) return Fail(error);
    Print(yaml);
  } else {
    Print(ExportCoefficients(FilterSlots(assembly), selection));
  }
  return kOk;
}

int RunImportCommand(const QStringList& arguments) {
  static const char* kArguments = "TEXT --into FILE --panel low|mid|high --side left|right|both [--max-error DB] OUT";
  sCommandLine line;
  QString error;
  int panel = 0;
  int side = 0;
  if (!ParseCommandLine(arguments, {"--into", "--panel", "--side", "--max-error"}, {}, 2, line, error)) {
    return Usage("import", kArguments, error);
  }
  double maxErrorDb = kDefaultMaxErrorDb;
  if (line.mOptions.contains("--max-error")) {
    bool ok = false;
    maxErrorDb = line.Option("--max-error").toDouble(&ok);
    if (!ok || !(maxErrorDb >= 0.0) || !std::isfinite(maxErrorDb))
      return Usage("import", kArguments, "--max-error takes a number of dB, 0 or more");
  }
  if (!line.mOptions.contains("--into")) return Usage("import", kArguments, "--into FILE is needed");
  if (!ParsePanelName(line.Option("--panel"), panel))
    return Usage("import", kArguments, "--panel takes low, mid or high");
  if (!ParseSideName(line.Option("--side"), true, side)) {
    return Usage("import", kArguments, "--side takes left, right or both");
  }
  const QString textPath = line.mPositional.at(0);
  QByteArray text;
  std::vector<sFilterLine> lines;
  if (!ReadInput(textPath, text, error)) return Fail(error);
  if (!ParseFilterSettings(QString::fromUtf8(text), lines, error)) return Fail(textPath + ": " + error);
  if (lines.empty()) return Fail(textPath + ": no \"Filter N:\" or \"Preamp:\" lines");
  cOfflineAssembly assembly;
  QString report;
  if (!assembly.Recall(line.Option("--into"), error)) return Fail(error);
  if (!ImportFilterSettings(assembly, lines, panel, side, maxErrorDb, report, error))
    return Fail(textPath + ": " + error);
  if (!assembly.Save(line.mPositional.at(1), error)) return Fail(error);
  Print(report);
  return kOk;
}

int RunVerifyCommand(const QStringList& arguments) {
  sCommandLine line;
  QString error;
  if (!ParseCommandLine(arguments, {"--port"}, {}, 1, line, error)) return Usage("verify", "FILE [--port NAME]", error);
  const QString file = line.mPositional.at(0);
  cOfflineAssembly assembly;
  if (!assembly.Recall(file, error)) return Fail(error);
  sDeviceSettings device;
  if (!ReadDeviceSettings(line.Option("--port"), kReadBackTimeoutMs, device, error)) return Fail(error);
  const QStringList differences = DeviceDifferences(assembly, device);
  for (const QString& difference : differences) Print(difference + "\n");
  if (differences.isEmpty()) {
    Print("The device holds " + QFileInfo(file).fileName() + " (band bypasses and coefficients are not read back)\n");
    return kOk;
  }
  Print(QString("%1 difference%2\n").arg(differences.size()).arg(differences.size() == 1 ? "" : "s"));
  return kFailed;
}
