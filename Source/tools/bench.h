// The fixed 20-position benchmark: time, nodes and speed of a search of
// each position.
#pragma once

// threaded: the search runs in worker threads (-bench) or on the calling
// thread (-pbench). Sets quit_requested at the end.
void run_benchmark(bool threaded);
