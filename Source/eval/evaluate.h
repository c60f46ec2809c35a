// The static evaluation called by the search: endings settled by rule, the
// per-thread evaluation cache, then the network or the hand-crafted
// evaluation, contempt, noise and fifty-move scaling.
#pragma once
#include <cstdint>

struct Position;
struct EvalState;

// Set by the search set-up at every search start.
extern int root_side;       // side to move at the root
extern uint32_t eval_seed;  // drawn per search; makes the noise repeatable within it
// Off in fixed-limit searches (analysis, depth, nodes): their scores are
// the position's own, without contempt.
extern bool contempt_on;
// Process-wide settings of the evaluation.
extern int16_t eval_noise;  // width of the random noise, 0 = none
struct EvalOptions {
    uint8_t use_nn;          // the network when loaded, else the hand-crafted evaluation
    int16_t contempt;        // centipawns, scaled by the material left
    int16_t phase_contempt;  // added as the material falls from its middle value
};
extern EvalOptions eval_options;
constexpr EvalOptions DEFAULT_EVAL_OPTIONS = {1, 0, 15};
// Half-moves played in the game since its set-up position (main thread).
extern int game_plies;

constexpr int EVAL_CHECK = -3000;  // returned for a side to move in check
constexpr int EVAL_LIMIT = 3000;

inline int clamp_eval(int s) { return s < -EVAL_LIMIT ? -EVAL_LIMIT : s > EVAL_LIMIT ? EVAL_LIMIT : s; }

// Score in centipawns for side (the side to move) of p at distance ply
// from the root, with the thread's evaluation state es (caches, network
// accumulators). Counts the call and stores ply in es.
int evaluate(const Position& p, EvalState& es, int side, int ply, int in_check);

// The ending settled by rule, or 0 with *decided = 0 when the material is
// not one of those endings.
int rule_ending(const Position& p, int side, int* decided);

// Adjustments of the network score for drawish material: opposite-coloured
// bishops alone, and a queen against a rook.
int network_endgame_scale(const Position& p, int score);
