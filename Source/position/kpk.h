// King and pawn against king: a win/not-won table for every placement,
// computed by retrograde analysis at start-up and read-only afterwards.
//
// The table is written for the side with the pawn (the attacking side)
// pushing its pawn up the board, with the pawn on files a-d. One byte per
// entry: 2 = the attacking side wins, 1 = it does not (draw, or a placement
// that cannot occur).
#pragma once
#include <cstdint>

#include "types.h"

constexpr int KPK_SIZE = 2 * 8 * 4 * 64 * 64;
constexpr uint8_t KPK_WIN = 2;
constexpr uint8_t KPK_NOT_WON = 1;

extern uint8_t kpk_table[KPK_SIZE];

// Entry of the table. stm: 0 when the attacking side is to move, 1 when the
// defending side is. pawn: the pawn's square, which must be on files a-d.
// attacker, defender: the two kings' squares.
constexpr int kpk_index(int stm, int pawn, int attacker, int defender) {
    return stm * 131072 + (rank_of(pawn) * 4 + file_of(pawn)) * 4096 + attacker * 64 + defender;
}

// Fills kpk_table. Needs the attack tables (init_tables) to be built first.
void init_kpk();

// Looks a real position up: the side strong_side has its king on
// strong_king and a pawn on strong_pawn, the other side a bare king on
// weak_king. Returns 1 when the side with the pawn wins, 0 otherwise (also
// for squares off the board or a pawn on its first or last rank).
int kpk_probe(int strong_side, int side_to_move, int strong_king, int strong_pawn, int weak_king);
