#pragma once

#include <cstdint>

typedef uint8_t UBYTE;
typedef uint16_t UWORD;
typedef uint32_t ULONG;
typedef int16_t GAIN;

// Width of handles, parameter and method numbers and message lengths.
typedef uint16_t EW_NET_DATA_SCALE;

constexpr EW_NET_DATA_SCALE EW_INVALID_HANDLE = 0xFFFF;
constexpr UWORD EW_INVALID_CONNECTION = 0xFFFF;
