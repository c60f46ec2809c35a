// The network evaluation: the weight file, the built-in network, the
// per-thread accumulators brought up to date by comparing bitboards, and
// inference with 16-lane integer SIMD (or a scalar path with the same
// results).
#pragma once
#include <cstdint>
#include "../position/types.h"

struct Position;
struct EvalState;

// Header fields, in file order.
enum NetworkField {
    NN_VERSION = 0,
    NN_WEIGHT_DIVISOR = 1,
    NN_OUTPUT_SCALE = 2,
    NN_INPUT_BUCKETS = 3,
    NN_BUCKET_SCHEME = 4,
    NN_WHITE_ACC = 7,
    NN_BLACK_ACC = 8,
    NN_MATERIAL = 9,
    NN_HIDDEN = 10,
    NN_HEADER_FIELDS = 12,
};

struct Network {
    int16_t header[NN_HEADER_FIELDS];
    int64_t count;     // weights, computed from the header
    int16_t* weights;  // one allocation holding every block
    // Block starts inside weights.
    const int16_t *features, *material_weights, *white_bias, *black_bias, *material_bias, *hidden_bias;
    const int16_t *block_a, *block_b, *block_c, *final_weights;
    int o, u, m, h, buckets, rows;
    uint32_t generation;  // changes with every load, so stale accumulators are refreshed
};

extern Network network;

// Everything the evaluation leaves for the trace.
struct NetworkTrace {
    float raw;  // output before scaling, in units of 2^20
    int bucket;
    int material[2];
    int counts[10];  // white pawns..queens, then black
};

// One perspective's accumulator (before activation) and the board it was
// made for: the position's bitboards (by piece code), the orientation and
// the input-bucket offset.
struct AccumulatorEntry {
    Bitboard bb[16];
    int orientation, offset;
    uint32_t generation;  // of the network that made it; 0 for none yet
    int16_t* values;
};

// Entries per perspective: one for each ply of the search, so that a node
// starts from its parent's accumulator, and one for each orientation and
// input bucket, the last one made there, so that a king crossing between
// the d- and e-files starts from a board like the current one.
constexpr int NN_PLY_ENTRIES = 84;
constexpr int NN_KING_ENTRIES = 4;
constexpr int NN_ENTRIES = NN_PLY_ENTRIES + NN_KING_ENTRIES;

// Per-thread state, made on the thread's first network evaluation.
struct NetworkState {
    int o, u, m, h;  // sizes the buffers were made for
    AccumulatorEntry entries[2][NN_ENTRIES];
    int16_t *white_acc, *black_acc;  // the accumulators of the last evaluation
    int16_t *white_act, *black_act, *material_act, *hidden_act;
    int last[2];  // entry of the last evaluation, per perspective
    int orientation[2];
    int offset[2];
    // How the accumulators were made, for the tests and the trace:
    // evaluations from an earlier accumulator, evaluations with a refresh,
    // and feature rows applied in all.
    uint64_t updates, refreshes, rows;
    NetworkTrace trace;
};

// Loads the network name: "embedded", "new" or a path, with noise of
// train_weight added to the weights of a file. 1 on success; 0 when the
// file is refused (the previous network, or the built-in one when there is
// none, stays in use).
int load_network(const char* name, float train_weight);
// Score of p for the side to move in centipawns, -3000..3000 (-10001 when
// the buffers in es cannot be had). Uses the ply stored in es to choose
// the accumulator entry.
int network_eval(const Position& p, EvalState& es);
bool network_loaded();
// Fills the activation buffers from the accumulators of the last
// evaluation (the built-in layout's inference does not store them).
void network_activations(NetworkState& s);
// Frees a thread's network state (at the end of the process).
void release_network_state(EvalState& es);
// Weight count the header implies, or -1 for a header no network can have.
int64_t network_weight_count(const int16_t* header);
// Writes a network in the file format (16-bit weights); 1 on success.
int save_network(const char* path, const int16_t* header, const int16_t* weights, int64_t count);

// Pieces of the position as the network sees them, exposed for the tests:
// the output bucket and the input-bucket offsets and orientations.
int network_output_bucket(const int16_t* header, int white_material, int black_material, int white_pawns,
                          int black_pawns);
int network_material(int knights, int bishops, int rooks, int queens);
