// Texel-style tuning of the hand-crafted evaluation: every weight is moved
// one step at a time while the mean squared error between the evaluation's
// win probability and the game results falls.
#pragma once
#include <cstdint>
#include <vector>
#include "position/position.h"

struct TuneSample {
    Position pos;
    float result;  // game result for the side to move, 0..1
};

struct TuneConfig {
    int sweeps = 10;
    int step = 1;
    int threads = 2;
    bool fit_scale = true;
    bool quiet = false;
};

// Mean squared error of sigmoid(k * eval) against the results.
double tune_error(const std::vector<TuneSample>& samples, double k, int threads);
// The k that fits the current weights best.
double fit_scale(const std::vector<TuneSample>& samples, int threads);
// Tunes every scalar and square-table weight but the pawn's material
// (the unit of the scale); returns the final error.
double tune_parameters(const std::vector<TuneSample>& samples, const TuneConfig& config);
