// The engine's use of the tablebases: the bridge from Position to the
// probing code, the rules for when the search may probe, and the root
// handling (narrowing the root moves, or playing the DTZ move at once).
#pragma once
#include "../position/position.h"
#include "tbchess.h"

// Rescans the tablebase directories of path (the SyzygyPath option):
// directories separated by ':'.
void tb_setup(const char* path);

// The search probes 6- and 7-man tables only from these remaining depths on
// (SyzygyProbeDepth6; the 7-man depth is never below 7).
struct TablebaseOptions {
    int8_t probe_depth6;
    int8_t probe_depth7;
};
extern TablebaseOptions tb_options;
constexpr TablebaseOptions DEFAULT_TB_OPTIONS = {1, 7};

// Probe position of p; the half-move clock is given separately because the
// search probes with 0 and the root ranking with the real clock.
TbPosition tb_position(const Position& p, int rule50);

// A WDL result for the side to move: WDL + 2, so that TB_WIN - r is the
// result for the other side. Blessed: a loss the fifty-move rule saves;
// cursed: a win it spoils.
enum TbResult : int { TB_NONE = -1, TB_LOSS = 0, TB_BLESSED_LOSS = 1, TB_DRAW = 2, TB_CURSED_WIN = 3, TB_WIN = 4 };

// The TbResult of p, or TB_NONE: castling rights left, more men than any
// table, below the depth limits of 6 and 7 men, or no table result.
int probe_tb_wdl(const Position& p, int depth);

// Root filtering: the root's result r (or TB_NONE); every root move that gives
// up r is taken out of [list, end) (the rest keep their order and end moves
// back). Prints the "TB result" line when print is set.
int tb_filter_root(Position& p, MoveEntry* list, MoveEntry*& end, bool print);

// Late in the fifty-move cycle: the DTZ-best move, if the position is in
// the tables and the move is one of the root moves; score 9800, 0 or -9800.
// Returns 1 when a move was chosen.
int tb_root_move(const Position& p, const MoveEntry* list, const MoveEntry* end, Move& move, int& score);
