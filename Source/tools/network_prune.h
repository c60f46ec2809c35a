// Shrinks the loaded network's first layer to the accumulator entries that
// matter most over a file of training positions and writes "pruned.bin".
#pragma once

constexpr int PRUNED_WIDTH = 1408;

// training_file: the records to measure on. Returns 1 when a file was written.
int prune_network(const char* training_file, const char* output = "pruned.bin");
