// The named weights of the hand-crafted evaluation. Every weight is a pair
// (middle game, end game) kept packed in one 32-bit word and as two floats
// for the terms that scale a weight by a fraction.
#pragma once
#include <cstdint>
#include <string>

struct EvalParam {
    char name[24];
    int32_t packed;  // mg + 65536 * eg, wrapping
    float mg, eg;
    double tune_value;  // room for tuning tools; the evaluation never reads it
    int32_t tune_count;
};

// Table layout: the scalars in a fixed order, then nine square tables of 64
// entries, then the ttune block. Terms read their entry by these indices.
enum ParamIndex : int {
    MTL_PAWN,
    MTL_KNIGHT,
    MTL_BISHOP,
    MTL_ROOK,
    MTL_QUEEN,
    BISHOP_PAIR,
    KNIGHT_MOBILITY,
    BISHOP_MOBILITY,
    ROOK_MOBILITY,
    QUEEN_MOBILITY,
    PPAWN_BASE,
    PPAWN_MOBILE,
    PPAWN_FREE,
    PPAWN_CONNECTED,
    PPAWN_FKPROX,
    PPAWN_EKPROX,
    PPAWN_CANDIDATE,
    PAWN_ISOLATED,
    PAWN_WEAK,
    PAWN_BLOCKED,
    PAWN_DOUBLED,
    KNIGHT_OUTPOST,
    BISHOP_INFILTRATION,
    BISHOP_OUTPOST,
    BISHOP_RAMPAWNS,
    ROOK_INFILTRATION,
    ROOK_OPENFILE,
    ROOK_7TH,
    PAWN_SHIELD,
    ENEMY_CHECKS,
    KING_DANGER1,
    KING_DANGER2,
    KING_TRAPPED,
    KING_PAWN_DIST,
    HUNG_PAWN,
    ATTACKED_PAWN,
    HUNG_MINOR,
    ATTACKED_MINOR,
    HUNG_MAJOR,
    PPUSH_THREAT,
    PINNED_PIECE,
    MTL_IMBALANCE,
    STM_BONUS,
    SCALAR_PARAMS,
    PST_P1 = SCALAR_PARAMS,
    PST_P2 = PST_P1 + 64,
    PST_CP = PST_P2 + 64,
    PST_DP = PST_CP + 64,
    PST_N = PST_DP + 64,
    PST_B = PST_N + 64,
    PST_R = PST_B + 64,
    PST_Q = PST_R + 64,
    PST_K = PST_Q + 64,
    TTUNE = PST_K + 64,
    PARAM_COUNT = TTUNE + 32,
};
static_assert(SCALAR_PARAMS == 43 && PARAM_COUNT == 651, "table layout");

extern EvalParam eval_params[PARAM_COUNT];
extern int first_table_param;  // index of the first square-table entry
extern const char builtin_param_text[];

inline int32_t make_packed(int mg, int eg) { return int32_t(uint32_t(eg) * 65536u + uint32_t(mg)); }
// The halves read back: a negative middle-game half borrows one from the
// end-game half, and every reader unpacks the same way.
inline int mg_of(int32_t v) { return int16_t(uint16_t(uint32_t(v))); }
inline int eg_of(int32_t v) { return v >> 16; }

// Fills the table with the coded defaults: material, everything else 0.
void register_params();
// Applies a parameter text (see param_text.cpp) to the table. Entries must
// come in table order; a name out of order is reported and stored anyway.
// Returns the number of such reports.
int apply_param_text(const char* text);
// Index of the first entry with this name, -1 when there is none.
int find_param(const char* name);
// Sets one entry's pair (packed and float forms together).
void set_param(int index, int mg, int eg);
// The whole table in the parameter-text format; applying it restores the table.
std::string param_text();
