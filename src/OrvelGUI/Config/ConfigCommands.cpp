#include "OrvelGUI/Config/ConfigCommands.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>
#include <cmath>
#include <cstdio>

#include "OrvelGUI/Config/CamillaExport.h"
#include "OrvelGUI/Config/CliArguments.h"
#include "OrvelGUI/Config/ConfigDocument.h"
#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Config/ConfigText.h"
#include "OrvelGUI/Config/DeviceVerify.h"
#include "OrvelGUI/Config/FilterChains.h"
#include "OrvelGUI/Config/FilterImport.h"
#include "OrvelGUI/Config/FilterText.h"
#include "OrvelGUI/Config/OfflineAssembly.h"
#include "OrvelGUI/Config/PortChoice.h"
#include "OrvelGUI/Config/ResponseCurves.h"
#include "OrvelGUI/Config/ResponsePlot.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kUnread = 3;  // verify: the processor could not be read
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
  static const char* kArguments =
      "TEXT --into FILE --panel low|mid|high --side left|right|both [--max-error DB] [--json] OUT";
  sCommandLine line;
  QString error;
  int panel = 0;
  int side = 0;
  if (!ParseCommandLine(arguments, {"--into", "--panel", "--side", "--max-error"}, {"--json"}, 2, line, error)) {
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
  const bool json = line.Has("--json");
  const QString textPath = line.mPositional.at(0);
  const QString out = line.mPositional.at(1);
  QJsonObject result{{"text", textPath},
                     {"into", line.Option("--into")},
                     {"out", out},
                     {"panel", line.Option("--panel").toLower()},
                     {"side", line.Option("--side").toLower()},
                     {"max_error_db", maxErrorDb}};
  // Refused: nothing is written, and with --json the reason is also a field.
  const auto refuse = [&](const QString& message) {
    if (json) {
      result.insert("written", false);
      result.insert("error", message);
      Print(QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)));
    }
    return Fail(message);
  };
  QByteArray text;
  std::vector<sFilterLine> lines;
  if (!ReadInput(textPath, text, error)) return refuse(error);
  if (!ParseFilterSettings(QString::fromUtf8(text), lines, error)) return refuse(textPath + ": " + error);
  if (lines.empty()) return refuse(textPath + ": no \"Filter N:\" or \"Preamp:\" lines");
  cOfflineAssembly assembly;
  QString report;
  if (!assembly.Recall(line.Option("--into"), error)) return refuse(error);
  if (!ImportFilterSettings(assembly, lines, panel, side, maxErrorDb, report, result, error))
    return refuse(textPath + ": " + error);
  if (!assembly.Save(out, error)) return refuse(error);
  if (json) {
    result.insert("written", true);
    result.insert("error", QJsonValue(QJsonValue::Null));
    Print(QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)));
  } else {
    Print(report);
  }
  return kOk;
}

int RunVerifyCommand(const QStringList& arguments) {
  static const char* kArguments = "FILE [--port NAME] [--json]";
  sCommandLine line;
  QString error;
  if (!ParseCommandLine(arguments, {"--port"}, {"--json"}, 1, line, error)) return Usage("verify", kArguments, error);
  const QString file = line.mPositional.at(0);
  const bool json = line.Has("--json");
  cOfflineAssembly assembly;
  // Not a verdict about the processor: the file itself is at fault.
  if (!assembly.Recall(file, error)) {
    std::fprintf(stderr, "orvel-cli: %s\n", qPrintable(error));
    return kUsage;
  }
  const sPortChoice port = ChoosePort(line.Option("--port"));
  if (port.mFound) std::fprintf(stderr, "%s\n", qPrintable(PortChoiceText(port)));
  QJsonObject result{{"file", QFileInfo(file).fileName()},
                     {"port", port.mFound ? QJsonValue(port.mName) : QJsonValue(QJsonValue::Null)},
                     {"path", port.mFound ? QJsonValue(port.mPath) : QJsonValue(QJsonValue::Null)}};
  sDeviceSettings device;
  if (!ReadDeviceSettings(line.Option("--port"), kReadBackTimeoutMs, device, error)) {
    error = ExplainOpenFailure(error, port);
    std::fprintf(stderr, "orvel-cli: %s\n", qPrintable(error));
    if (json) {
      result.insert("read", false);
      result.insert("holds", QJsonValue(QJsonValue::Null));
      result.insert("error", error);
      result.insert("differences", QJsonArray());
      Print(QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)));
    }
    return kUnread;
  }
  const std::vector<sDeviceDifference> differences = DeviceDifferences(assembly, device);
  if (json) {
    QJsonArray list;
    for (const sDeviceDifference& difference : differences) list.append(difference.Json());
    result.insert("read", true);
    result.insert("holds", differences.empty());
    result.insert("error", QJsonValue(QJsonValue::Null));
    result.insert("differences", list);
    Print(QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)));
    return differences.empty() ? kOk : kFailed;
  }
  for (const sDeviceDifference& difference : differences) Print(difference.Text() + "\n");
  if (differences.empty()) {
    Print("The device holds " + QFileInfo(file).fileName() + " (band bypasses and coefficients are not read back)\n");
    return kOk;
  }
  Print(QString("%1 difference%2\n").arg(differences.size()).arg(differences.size() == 1 ? "" : "s"));
  return kFailed;
}

int RunDiffCommand(const QStringList& arguments) {
  static const char* kArguments = "A B [--json]";
  sCommandLine line;
  QString error;
  if (!ParseCommandLine(arguments, {}, {"--json"}, 2, line, error)) return Usage("diff", kArguments, error);
  // As diff(1): trouble is 2, so that 1 always means the files differ.
  cOfflineAssembly assembly;
  std::vector<sShownValue> shown[2];
  QString names[2];
  for (int i = 0; i < 2; ++i) {
    const QString& path = line.mPositional.at(i);
    if (!assembly.Recall(path, error)) {
      std::fprintf(stderr, "orvel-cli: %s\n", qPrintable(error));
      return kUsage;
    }
    shown[i] = ShownValues(assembly.Read());
    names[i] = QFileInfo(path).fileName();
  }
  // Two files of the same name in different folders are told apart by path.
  if (names[0] == names[1]) {
    names[0] = line.mPositional.at(0);
    names[1] = line.mPositional.at(1);
  }
  QJsonArray list;
  QString text;
  for (std::size_t v = 0; v < shown[0].size() && v < shown[1].size(); ++v) {
    const sShownValue& a = shown[0][v];
    const sShownValue& b = shown[1][v];
    if (a.mText == b.mText) continue;
    list.append(QJsonObject{{"unit", a.mUnit}, {"parameter", a.mParameter}, {"a", a.mText}, {"b", b.mText}});
    text += QString("%1 %2: %3 %4, %5 %6\n").arg(a.mUnit, a.mParameter, names[0], a.mText, names[1], b.mText);
  }
  if (line.Has("--json")) {
    const QJsonObject result{
        {"a", line.mPositional.at(0)}, {"b", line.mPositional.at(1)}, {"same", list.isEmpty()}, {"differences", list}};
    Print(QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)));
  } else if (!list.isEmpty()) {
    Print(text + QString("%1 difference%2\n").arg(list.size()).arg(list.size() == 1 ? "" : "s"));
  }
  return list.isEmpty() ? kOk : kFailed;
}
