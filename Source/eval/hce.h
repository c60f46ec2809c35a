// The hand-crafted evaluation: material, square tables, mobility, pawn
// structure, king safety, passed pawns, threats and pins, every weight a
// named parameter.
#pragma once

struct Position;
struct EvalState;

// Trace groups, in printing order.
enum TraceGroup : int {
    TRACE_PAWNS,
    TRACE_KNIGHTS,
    TRACE_BISHOPS,
    TRACE_ROOKS,
    TRACE_QUEENS,
    TRACE_KING,
    TRACE_PASSERS,
    TRACE_THREATS,
    TRACE_SPECIAL,
};

// Score of p in centipawns for the side to move. Reads the ply stored in
// es (the pawn cache is bypassed at plies 0 and 1) and fills the trace
// buffers when es.trace is set.
int hce_eval(const Position& p, EvalState& es);
