#include "kpk.h"

#include "attacks.h"

uint8_t kpk_table[KPK_SIZE];

namespace {

// Working values; only WIN and NOT_WON remain once the table is finished.
constexpr uint8_t ILLEGAL = 0, DRAW = 1, WIN = KPK_WIN, UNKNOWN = 4;

bool adjacent(int a, int b) { return (king_attacks[a] & bit(b)) != 0; }

// Whether the defending king on k2 has a move that is neither next to the
// attacking king on k1 nor onto a square in `covered`.
bool has_escape(int k1, int k2, Bitboard covered) {
    return (king_attacks[k2] & ~king_attacks[k1] & ~covered) != 0;
}

// The pawn has just been promoted on q and the defending side is to move.
// The attacking side picks the promotion piece: a queen or rook that cannot
// be taken at once wins, unless it leaves the defending king stalemated.
// A minor piece never wins against a bare king.
uint8_t promotion_value(int q, int k1, int k2) {
    if (adjacent(k2, q) && !adjacent(k1, q)) return DRAW;  // the new piece is taken
    Bitboard occ = bit(k1);
    Bitboard rook = rook_attacks(q, occ);
    Bitboard queen = rook | bishop_attacks(q, occ);
    if (queen & bit(k2)) return WIN;  // check: mate, or the queen is kept
    if (has_escape(k1, k2, queen)) return WIN;
    // The queen stalemates; a rook covers fewer squares and may leave a move.
    return has_escape(k1, k2, rook) ? WIN : DRAW;
}

// One sweep over the entries with the attacking side to move and the pawn
// on rank r. Returns whether any entry was decided.
bool sweep_attacker(int r) {
    bool changed = false;
    for (int f = 0; f < 4; f++) {
        int p = square_of(f, r);
        const uint8_t* after_king = kpk_table + kpk_index(1, p, 0, 0);
        const uint8_t* after_push = kpk_table + kpk_index(1, p + 8, 0, 0);
        const uint8_t* after_double = r == 1 ? kpk_table + kpk_index(1, p + 16, 0, 0) : nullptr;
        uint8_t* here = kpk_table + kpk_index(0, p, 0, 0);
        for (int k1 = 0; k1 < 64; k1++)
            for (int k2 = 0; k2 < 64; k2++) {
                int e = k1 * 64 + k2;
                if (here[e] != UNKNOWN) continue;
                bool win = false, unknown = false;
                auto see = [&](uint8_t v) {
                    win |= v == WIN;
                    unknown |= v == UNKNOWN;
                };
                // A push is blocked exactly when the square ahead is taken,
                // which is what makes that entry illegal.
                uint8_t v = after_push[e];
                if (v != ILLEGAL) {
                    see(v);
                    if (after_double && after_double[e] != ILLEGAL) see(after_double[e]);
                }
                for (Bitboard m = king_attacks[k1]; m && !win;) {
                    int s = pop_lsb(m);
                    see(after_king[s * 64 + k2]);  // illegal entries are 0 and count for nothing
                }
                uint8_t result = win ? WIN : unknown ? UNKNOWN : DRAW;
                if (result != UNKNOWN) {
                    here[e] = result;
                    changed = true;
                }
            }
    }
    return changed;
}

// The same with the defending side to move.
bool sweep_defender(int r) {
    bool changed = false;
    for (int f = 0; f < 4; f++) {
        int p = square_of(f, r);
        const uint8_t* after = kpk_table + kpk_index(0, p, 0, 0);
        uint8_t* here = kpk_table + kpk_index(1, p, 0, 0);
        for (int k1 = 0; k1 < 64; k1++) {
            bool pawn_guarded = adjacent(k1, p);
            for (int k2 = 0; k2 < 64; k2++) {
                int e = k1 * 64 + k2;
                if (here[e] != UNKNOWN) continue;
                bool draw = false, win = false, unknown = false;
                for (Bitboard m = king_attacks[k2]; m && !draw;) {
                    int s = pop_lsb(m);
                    if (s == p) {
                        draw |= !pawn_guarded;  // taking the pawn leaves two bare kings
                        continue;
                    }
                    uint8_t v = after[k1 * 64 + s];
                    draw |= v == DRAW;
                    win |= v == WIN;
                    unknown |= v == UNKNOWN;
                }
                uint8_t result;
                if (draw)
                    result = DRAW;
                else if (unknown)
                    result = UNKNOWN;
                else if (win)
                    result = WIN;
                else  // no legal move: mate when the pawn gives check, else stalemate
                    result = (pawn_attacks[WHITE][p] & bit(k2)) ? WIN : DRAW;
                if (result != UNKNOWN) {
                    here[e] = result;
                    changed = true;
                }
            }
        }
    }
    return changed;
}

}  // namespace

void init_kpk() {
    // Initial classification.
    for (int stm = 0; stm < 2; stm++)
        for (int r = 0; r < 8; r++)
            for (int f = 0; f < 4; f++) {
                int p = square_of(f, r);
                for (int k1 = 0; k1 < 64; k1++)
                    for (int k2 = 0; k2 < 64; k2++) {
                        uint8_t v = UNKNOWN;
                        if (k1 == k2 || k1 == p || k2 == p || adjacent(k1, k2))
                            v = ILLEGAL;
                        else if (stm == 0 && (pawn_attacks[WHITE][p] & bit(k2)))
                            v = ILLEGAL;  // the defending king would be in check off move
                        else if (r == 7)
                            v = stm == 0 ? WIN : promotion_value(p, k1, k2);
                        kpk_table[kpk_index(stm, p, k1, k2)] = v;
                    }
            }

    // Entries with the pawn on rank r only lead to entries on rank r (king
    // moves) and to ranks above it (pushes), so each rank is solved to the
    // end before the one below. The set of wins found does not depend on
    // the order in which entries are visited.
    for (int r = 6; r >= 1; r--) {
        bool changed = true;
        while (changed) {
            changed = sweep_attacker(r);
            changed |= sweep_defender(r);
        }
    }

    // Everything not proven won is not won: draws, positions that stayed
    // undecided (endless manoeuvring), illegal and impossible placements.
    for (int i = 0; i < KPK_SIZE; i++)
        if (kpk_table[i] != WIN) kpk_table[i] = KPK_NOT_WON;
}

int kpk_probe(int strong_side, int side_to_move, int strong_king, int strong_pawn, int weak_king) {
    if ((strong_king | strong_pawn | weak_king) & ~63) return 0;
    // Turn the board so that the pawn's side plays up the board...
    int flip = strong_side == BLACK ? 56 : 0;
    int k1 = strong_king ^ flip, p = strong_pawn ^ flip, k2 = weak_king ^ flip;
    if (rank_of(p) == 0 || rank_of(p) == 7) return 0;
    // ...and mirror it so that the pawn stands on files a-d.
    if (file_of(p) >= 4) {
        k1 ^= 7;
        p ^= 7;
        k2 ^= 7;
    }
    int stm = side_to_move == strong_side ? 0 : 1;
    return kpk_table[kpk_index(stm, p, k1, k2)] == WIN;
}
