// The published random numbers of the Polyglot book hash.
#pragma once
#include <cstdint>

constexpr int POLYGLOT_RANDOM_COUNT = 781;
constexpr int POLYGLOT_CASTLE = 768;     // + 0..3: white short, white long, black short, black long
constexpr int POLYGLOT_EN_PASSANT = 772;  // + file
constexpr int POLYGLOT_TURN = 780;        // White to move

extern const uint64_t polyglot_random[POLYGLOT_RANDOM_COUNT];
