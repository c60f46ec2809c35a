#include "pawns.h"

#include "../position/attacks.h"
#include "bitmasks.h"
#include "params.h"

uint64_t pawn_cache_key(const Position& p) {
    uint64_t key = p.pawn_key;
    if (file_of(p.king_sq[WHITE]) < 4) key ^= 0x6c43eb52aULL;
    if (file_of(p.king_sq[BLACK]) < 4) key ^= 0x3e2571cb4ULL;
    return key;
}

void compute_pawn_structure(const Position& p, int32_t total[2]) {
    bool same_half = (file_of(p.king_sq[WHITE]) < 4) == (file_of(p.king_sq[BLACK]) < 4);
    const EvalParam* table = &eval_params[same_half ? PST_P1 : PST_P2];
    const EvalParam* connected = &eval_params[PST_CP];
    const EvalParam* defended = &eval_params[PST_DP];

    for (int c = 0; c < 2; c++) {
        const Bitboard pawns = p.bb[make_piece(c, PAWN)];
        const Bitboard attacks = pawn_attack_set(pawns, c);
        const int orient = table_orientation(c, p.king_sq[c]);
        int32_t t = popcount(pawns) * eval_params[MTL_PAWN].packed;
        for (Bitboard b = pawns; b;) {
            int s = pop_lsb(b);
            int i = s ^ orient;
            t += table[i].packed;
            if (attacks & bit(s)) t += defended[i].packed;
            // The square ahead is attacked exactly when an own pawn stands beside.
            if (attacks & shift_forward(bit(s), c)) t += connected[i].packed;
        }
        const Bitboard files = fill_up(pawns) | fill_down(pawns);
        const Bitboard isolated = pawns & ~sideways(files);
        // A pawn beside or behind on a neighbouring file can still support it.
        const Bitboard support = sideways(c == WHITE ? fill_up(pawns) : fill_down(pawns));
        const Bitboard weak = pawns & ~support & ~isolated;
        const Bitboard doubled = pawns & front_span(pawns, c);
        t += popcount(isolated) * eval_params[PAWN_ISOLATED].packed;
        t += popcount(weak) * eval_params[PAWN_WEAK].packed;
        t += popcount(doubled) * eval_params[PAWN_DOUBLED].packed;
        total[c] = t;
    }
}

void pawn_structure(const Position& p, EvalState& es, int32_t total[2]) {
    const uint64_t key = pawn_cache_key(p);
    PawnCacheEntry& e = es.pawn_cache[key % PAWN_CACHE_SIZE];
    es.pawn_probes++;
    if (e.key == key && es.ply > 1) {
        es.pawn_hits++;
        total[0] = e.total[0];
        total[1] = e.total[1];
        return;
    }
    compute_pawn_structure(p, total);
    e.key = key;
    e.total[0] = total[0];
    e.total[1] = total[1];
}
