// Seeds: examples/*.json
//
// The JSON document of `orvel-cli create`: parsed, decoded over the
// defaults (and strictly), and applied to the program's units as create
// applies it. No input may crash or hang; a document that decodes must
// encode and decode back to the same configuration; a realisable one is
// held by the units exactly, and whatever the units take is realisable.

#include "FuzzSupport.h"
#include "OrvelGUI/Config/ConfigDocument.h"

namespace {

cOfflineAssembly& Assembly() {
  static cOfflineAssembly* assembly = [] {
    fuzzsupport::Application();
    fuzzsupport::QuietReports();
    return new cOfflineAssembly;
  }();
  return *assembly;
}

// With a delay's gang on the right delay follows the left one, as the
// units keep it.
sConfiguration AsHeld(sConfiguration c) {
  for (sPanelConfiguration& panel : c.mPanels) {
    if (panel.mDelay.mGang != 0) panel.mDelay.mRight = panel.mDelay.mLeft;
  }
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cOfflineAssembly& assembly = Assembly();
  const QByteArray text(reinterpret_cast<const char*>(data), int(size));
  QJsonObject document;
  QString error;
  if (!configjson::ParseDocument(text, document, error)) return 0;
  sConfiguration configuration = assembly.Read();
  const QByteArray before = fuzzsupport::Json(configuration);
  if (!configjson::DecodeOver(document, configuration, error)) {
    if (fuzzsupport::Json(configuration) != before) fuzzsupport::Broken("a refused document changed its target");
    return 0;
  }
  sConfiguration strict;
  if (!configjson::Decode(configjson::Encode(configuration), strict, error)) {
    fuzzsupport::Broken("an encoded configuration does not decode:", error.toStdString());
  }
  if (fuzzsupport::Json(strict) != fuzzsupport::Json(configuration)) fuzzsupport::Broken("encode and decode differ");
  const bool realisable = ConfigurationRefusals(configuration).empty();
  if (!assembly.Apply(configuration, error)) fuzzsupport::Broken("the units did not settle:", error.toStdString());
  if (realisable && fuzzsupport::Json(assembly.Read()) != fuzzsupport::Json(AsHeld(configuration))) {
    fuzzsupport::Broken("the units did not take a realisable configuration as given");
  }
  fuzzsupport::ExpectPlausible(assembly);
  return 0;
}
