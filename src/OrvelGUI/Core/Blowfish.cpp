#include "OrvelGUI/Core/Blowfish.h"

#include <utility>

#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/BlowfishTables.h"

namespace {

ULONG LoadBigEndian(const UBYTE* bytes) {
  return (ULONG(bytes[0]) << 24) | (ULONG(bytes[1]) << 16) | (ULONG(bytes[2]) << 8) | ULONG(bytes[3]);
}

void StoreBigEndian(UBYTE* bytes, ULONG value) {
  bytes[0] = UBYTE(value >> 24);
  bytes[1] = UBYTE(value >> 16);
  bytes[2] = UBYTE(value >> 8);
  bytes[3] = UBYTE(value);
}

}  // namespace

cBlowfish::cBlowfish(const UBYTE* key, std::size_t length) : mP(kBlowfishInitialP), mS(kBlowfishInitialS) {
  if (key == nullptr || length == 0 || length > kMaxKeyLength) {
    EW_REPORT_ERROR("Blowfish key length %zu is not between 1 and %zu", length, kMaxKeyLength);
    return;
  }
  std::size_t next = 0;
  for (ULONG& word : mP) {
    ULONG keyWord = 0;
    for (int i = 0; i < 4; ++i) {
      keyWord = (keyWord << 8) | key[next];
      next = (next + 1) % length;
    }
    word ^= keyWord;
  }
  // The block carries over from table to table: one chain of encipherments
  // replaces P and then the S-boxes.
  ULONG left = 0;
  ULONG right = 0;
  const auto replacePairs = [&](auto& table) {
    for (std::size_t i = 0; i < table.size(); i += 2) {
      Rounds(left, right, false);
      table[i] = left;
      table[i + 1] = right;
    }
  };
  replacePairs(mP);
  for (auto& box : mS) replacePairs(box);
}

ULONG cBlowfish::Feistel(ULONG half) const {
  return ((mS[0][half >> 24] + mS[1][(half >> 16) & 0xFF]) ^ mS[2][(half >> 8) & 0xFF]) + mS[3][half & 0xFF];
}

// Deciphering is the same network with the P entries in reverse order.
void cBlowfish::Rounds(ULONG& left, ULONG& right, bool reverse) const {
  const auto subkey = [&](std::size_t i) { return mP[reverse ? kRounds + 1 - i : i]; };
  ULONG l = left;
  ULONG r = right;
  for (std::size_t round = 0; round < kRounds; ++round) {
    l ^= subkey(round);
    r ^= Feistel(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= subkey(kRounds);
  l ^= subkey(kRounds + 1);
  left = l;
  right = r;
}

void cBlowfish::EncipherBlock(UBYTE* block) const { TransformBlock(block, false); }

void cBlowfish::DecipherBlock(UBYTE* block) const { TransformBlock(block, true); }

void cBlowfish::TransformBlock(UBYTE* block, bool reverse) const {
  ULONG left = LoadBigEndian(block);
  ULONG right = LoadBigEndian(block + 4);
  Rounds(left, right, reverse);
  StoreBigEndian(block, left);
  StoreBigEndian(block + 4, right);
}
