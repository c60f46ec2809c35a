// The probing code's own small chess: a compact position of bitboards, the
// moves it needs (captures for resolving a position before a table lookup,
// all moves for the DTZ search and the root ranking), making a move into a
// copy, and the material key that names a table.
#pragma once
#include <cstdint>

// The probe position of the engine bridge: both colours' occupancy and one
// board per piece type holding both colours.
struct TbPosition {
    uint64_t white, black;
    uint64_t kings, queens, rooks, bishops, knights, pawns;
    uint8_t rule50;  // half-move clock
    uint8_t ep;      // en-passant square, 0 for none
    uint8_t turn;    // 1 = white to move
};

// A probing-code move: destination bits 0-5, origin bits 6-11, promotion
// bits 12-14 (1 queen, 2 rook, 3 bishop, 4 knight).
using TbMove = uint16_t;
constexpr int TB_PROMO_NONE = 0, TB_PROMO_QUEEN = 1, TB_PROMO_ROOK = 2, TB_PROMO_BISHOP = 3, TB_PROMO_KNIGHT = 4;
constexpr int tb_move_to(TbMove m) { return m & 63; }
constexpr int tb_move_from(TbMove m) { return (m >> 6) & 63; }
constexpr int tb_move_promo(TbMove m) { return (m >> 12) & 7; }
constexpr TbMove tb_make_move(int from, int to, int promo = 0) { return TbMove(to | from << 6 | promo << 12); }

// Room for every pseudo-legal move of a legal position.
constexpr int TB_MAX_MOVES = 256;

// Colour 0 white, 1 black; type 1 pawn .. 6 king (the engine's numbering).
uint64_t tb_pieces(const TbPosition& p, int colour, int type);
int tb_piece_count(const TbPosition& p);

// Pseudo-legal moves into out; returns the number written.
int tb_gen_captures(const TbPosition& p, TbMove* out);
int tb_gen_all(const TbPosition& p, TbMove* out);

int tb_in_check(const TbPosition& p);
int tb_is_capture(const TbPosition& p, TbMove m);
int tb_is_en_passant(const TbPosition& p, TbMove m);
// Captures and pawn moves reset the half-move clock.
int tb_is_zeroing(const TbPosition& p, TbMove m);

// Plays m from p into out; returns 0 (out unusable) when the move leaves
// the mover's king attacked.
int tb_do_move(const TbPosition& p, TbMove m, TbPosition& out);
int tb_has_legal_move(const TbPosition& p);
int tb_is_mate(const TbPosition& p);

// Material key: a sum of per-colour, per-type numbers times the counts, so
// that names and positions give the same key and kings alone give 0.
// counts[colour][type] with types 1..5 (kings are not counted).
uint64_t tb_material_key_counts(const int counts[2][8], int swap_colours);
uint64_t tb_material_key(const TbPosition& p, int swap_colours);
