#pragma once

#include <array>
#include <cstddef>

#include "EWNet/Core/Types.h"

// Blowfish block cipher (64-bit block, 16 rounds). A block's bytes 0..3 are the
// big-endian left half and bytes 4..7 the big-endian right half.
class cBlowfish {
 public:
  static constexpr std::size_t kBlockSize = 8;
  static constexpr std::size_t kRounds = 16;
  // The key schedule cycles through at most this many key bytes (18 words).
  static constexpr std::size_t kMaxKeyLength = (kRounds + 2) * 4;

  // A key of 1 to kMaxKeyLength bytes; any other length is reported and
  // leaves the schedule at its initial values.
  cBlowfish(const UBYTE* key, std::size_t length);

  void EncipherBlock(UBYTE* block) const;
  void DecipherBlock(UBYTE* block) const;

 private:
  ULONG Feistel(ULONG half) const;
  void Rounds(ULONG& left, ULONG& right, bool reverse) const;
  void TransformBlock(UBYTE* block, bool reverse) const;

  std::array<ULONG, kRounds + 2> mP;
  std::array<std::array<ULONG, 256>, 4> mS;
};
