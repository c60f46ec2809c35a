// How well the network and the hand-crafted static score fit the training
// target on positions of games that no training run saw: the measure that
// says whether a network has learnt more than the games it was shown.
#pragma once
#include <cstdint>
#include "tools/training_data.h"

struct HeldOutLosses {
    int64_t positions = 0;
    double network = 0;   // mean squared error of the win probability
    double handmade = 0;  // the same for the hand-crafted static score
    double recorded = 0;  // the same for the score stored in the record
    // Against the game's result alone, which does not depend on how the
    // training target blends result and score: the measure for comparing
    // networks trained on different blends.
    double network_result = 0, handmade_result = 0, recorded_result = 0;
};

// Every step-th usable record; the network loaded in the engine and the
// hand-crafted weights in use.
HeldOutLosses held_out_losses(const TrainingRecord* records, int64_t count, int step);
