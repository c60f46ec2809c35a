// Console printouts that explain the static evaluation of a position: the
// hand-crafted terms by group next to the network score, and the network
// nodes that move its output most.
#pragma once

struct Position;
struct EvalState;

// Term trace; level 2 adds the parameter listing. qscore is the last
// quiescence score the console kept.
void eval_trace(const Position& p, EvalState& es, int level, int qscore);
// The network trace: output bucket and the strongest contributions per layer.
void network_trace(const Position& p, EvalState& es);
