#pragma once

#include <cstdint>

// How far a continuous controller moves for a step count from the network
// (an encoder, or another controller's delta). Small ranges collect steps
// until a threshold, so that a whole range takes a turn or so; large ranges
// accelerate with the step size. Pure arithmetic, in int throughout.
struct sControllerDeltaOptions {
  // Finer thresholds for ranges below 136 values.
  bool mFineSmallRanges = false;
  // Collect steps for ranges of 136 to 511 values too.
  bool mCollectMediumRanges = false;
};

// Values to move (never negative; the direction is the sign of `delta`).
// `remainder` keeps the steps not used yet. A range of 0 moves nothing.
int ControllerDeltaSteps(int range, int delta, std::int16_t& remainder, const sControllerDeltaOptions& options);
