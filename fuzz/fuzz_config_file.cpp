// Seeds: examples/*.cfg
//
// The bytes of a configuration file, as a file dialog hands them to the
// loader: deciphered, checked and recalled through the real saves manager
// and units. No input may crash or hang the program, leave a unit with a
// value the processor cannot realise, or send an unstable section; a file
// that is refused changes nothing.
//
// A flipped bit of an enciphered block turns the whole block to noise, so
// half of the mutations are made to the deciphered frame and enciphered
// again: they reach single fields of the units' blocks.

#include <QFile>
#include <QTemporaryDir>

#include "FuzzSupport.h"
#include "OrvelGUI/Core/Blowfish.h"
#include "OrvelGUI/Core/SavesManager.h"

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

void Cipher(uint8_t* data, size_t size, bool encrypt) {
  const cBlowfish& cipher = cSavesManager::FileCipher();
  for (size_t at = 0; at + cBlowfish::kBlockSize <= size; at += cBlowfish::kBlockSize) {
    if (encrypt) {
      cipher.EncipherBlock(data + at);
    } else {
      cipher.DecipherBlock(data + at);
    }
  }
}

}  // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
  const size_t block = cBlowfish::kBlockSize;
  if (seed % 2 == 0 || size % block != 0 || maxSize < block) return LLVMFuzzerMutate(data, size, maxSize);
  Cipher(data, size, false);
  size_t mutated = LLVMFuzzerMutate(data, size, maxSize);
  // Whole blocks again: the padding of the last one is zero, as a save writes it.
  const size_t padded = (mutated + block - 1) / block * block;
  if (padded <= maxSize) {
    for (size_t at = mutated; at < padded; ++at) data[at] = 0;
    mutated = padded;
  } else {
    mutated = mutated / block * block;
  }
  Cipher(data, mutated, true);
  return mutated;
}

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
