// When the search stops: the clock, the target time and the search set-up.
#pragma once
#include <atomic>
#include <cstdint>

extern std::atomic<float> elapsed_now;  // seconds since the search started
extern std::atomic<float> target_time;
// The node count after which the node and depth limits are tested, this search.
extern int64_t search_node_check;

// With reset the clock starts at 0; otherwise elapsed_now is brought up to
// date. Returns the elapsed seconds.
float read_clock(bool reset);
// Recomputes the target time and sets the stop flag when it is reached.
void check_time();
// Everything a search needs reset or rebuilt before it starts.
void setup_search();
