// Pseudo-legal move generation by kind, and the legality test.
#pragma once
#include "position.h"

MoveEntry* gen_captures(const Position& p, int side, MoveEntry* list, int target);
MoveEntry* gen_promotions(const Position& p, int side, int all_pieces, MoveEntry* list);
MoveEntry* gen_pushes_to_seventh(const Position& p, int side, MoveEntry* list);
MoveEntry* gen_quiets(const Position& p, int side, MoveEntry* list, int target);
MoveEntry* gen_quiet_checks(const Position& p, int side, MoveEntry* list);

MoveEntry* gen_pawn_pushes(const Position& p, int side, Bitboard target, Bitboard occ, MoveEntry* list);
MoveEntry* gen_knight_moves(const Position& p, int side, Bitboard target, MoveEntry* list);
MoveEntry* gen_bishop_moves(const Position& p, int side, Bitboard target, Bitboard occ, MoveEntry* list);
MoveEntry* gen_rook_moves(const Position& p, int side, Bitboard target, Bitboard occ, MoveEntry* list);
MoveEntry* gen_queen_moves(const Position& p, int side, Bitboard target, Bitboard occ, MoveEntry* list);

// Every pseudo-legal move of the side to move, into the given list.
MoveEntry* gen_all(const Position& p, MoveEntry* list);

int is_legal(const Position& p, int side, Move m);

// Pins and checks of the side to move, computed once per node so that most
// moves can be passed as legal without a full test.
struct LegalityInfo {
    Bitboard pinned;    // own pieces pinned to the own king
    Bitboard checkers;  // enemy pieces giving check
};
LegalityInfo legality_info(const Position& p);
// Same answer as is_legal for the side to move.
inline int is_legal_fast(const Position& p, const LegalityInfo& li, const MoveEntry& e) {
    int from = move_from(e.move);
    if (!(li.pinned & (Bitboard(1) << from)) && !li.checkers && piece_type(e.piece) != KING &&
        !(piece_type(e.piece) == PAWN && move_to(e.move) == p.ep_square) && e.move)
        return 1;
    return is_legal(p, p.side, e.move);
}
int no_legal_move(const Position& p);
