// When the search stops: the clock, the target time and the search set-up.
#pragma once
#include <atomic>

extern std::atomic<float> elapsed_now;  // seconds since the search started
extern std::atomic<float> target_time;

// With reset the clock starts at 0; otherwise elapsed_now is brought up to
// date. Returns the elapsed seconds.
float read_clock(bool reset);
void check_time();
void setup_search();
