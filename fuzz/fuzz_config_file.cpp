// Seeds: examples/*.cfg
//
// The bytes of a configuration file, as a file dialog hands them to the
// loader: deciphered, checked and recalled through the real saves manager
// and units. No input may crash or hang the program, leave a unit with a
// value the processor cannot realise, or send an unstable section; a file
// that is refused changes nothing.

#include <QFile>
#include <QTemporaryDir>

#include "FuzzSupport.h"

namespace {

struct sState {
  QTemporaryDir mDir;
  QString mPath;
  std::unique_ptr<cOfflineAssembly> mAssembly;
};

sState& State() {
  static sState* state = [] {
    fuzzsupport::Application();
    fuzzsupport::QuietReports();
    auto* s = new sState;
    s->mPath = s->mDir.filePath("input.cfg");
    s->mAssembly = std::make_unique<cOfflineAssembly>();
    return s;
  }();
  return *state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sState& state = State();
  {
    QFile file(state.mPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) fuzzsupport::Broken("cannot write the input file");
    file.write(reinterpret_cast<const char*>(data), qint64(size));
  }
  cOfflineAssembly& assembly = *state.mAssembly;
  const QByteArray before = fuzzsupport::Json(assembly.Read());
  QString error;
  if (!assembly.Recall(state.mPath, error)) {
    if (fuzzsupport::Json(assembly.Read()) != before) fuzzsupport::Broken("a refused file changed the units");
  }
  fuzzsupport::ExpectPlausible(assembly);
  return 0;
}
