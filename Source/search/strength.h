// Playing strength limited by speed: the main worker sleeps whenever its
// node rate exceeds a target derived from the requested Elo.
#pragma once
#include <atomic>

extern float calibration_nps;  // full speed measured at start-up (shell)
extern float calibrated_elo;
extern std::atomic<bool> throttle_on;

// Elo(n) = 850 + 250 ln n - 5 (ln n)^2 for n nodes per second.
double elo_of_speed(double nps);
// Sets the throttle and target_nps for the coming search.
void set_strength();
