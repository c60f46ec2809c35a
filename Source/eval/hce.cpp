#include "hce.h"

#include <cstring>

#include "../position/attacks.h"
#include "../position/see.h"
#include "bitmasks.h"
#include "params.h"
#include "pawns.h"

static_assert(TRACE_SPECIAL + 1 == TRACE_GROUPS, "one trace slot per group");

namespace {

// Fractions of a weight by mobility count, rank or distance.
constexpr float knight_mobility_factor[9] = {-0.53f, -0.16f, 0, 0.12f, 0.22f, 0.31f, 0.39f, 0.47f, 0.47f};
constexpr float slider_mobility_factor[15] = {-0.47f, -0.14f, 0,     0.11f, 0.2f,  0.27f, 0.35f, 0.41f,
                                              0.47f,  0.53f,  0.53f, 0.53f, 0.53f, 0.53f, 0.53f};
constexpr float queen_mobility_factor[28] = {-0.47f, -0.24f, -0.14f, -0.06f, 0,     0.06f, 0.11f,
                                             0.15f,  0.2f,   0.24f,  0.27f,  0.31f, 0.35f, 0.38f,
                                             0.41f,  0.41f,  0.41f,  0.41f,  0.41f, 0.41f, 0.41f,
                                             0.41f,  0.41f,  0.41f,  0.41f,  0.41f, 0.41f, 0.41f};
constexpr float passer_base[8] = {0, 0.09f, 0.09f, 0.24f, 0.4f, 0.64f, 1.0f, 0};
constexpr float passer_king[8] = {0, 0.2f, 0.2f, 0.4f, 0.6f, 0.8f, 1.0f, 0};
constexpr float passer_defended[8] = {0, 0, 0, 0.4f, 0.8f, 1.0f, 0, 0};
constexpr float candidate_rank[8] = {0, 0, 0, 0.4f, 0.7f, 1.0f, 0, 0};
constexpr float candidate_distance[6] = {0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f};
constexpr float king_pawn_factor[8] = {0, 0.2f, 0.4f, 0.6f, 0.8f, 1.0f, 1.0f, 1.0f};

constexpr Bitboard FILES_B_TO_G = ~(FILE_A_BB | FILE_H_BB);
constexpr Bitboard OUTPOST_ZONE[2] = {(rank_bb(3) | rank_bb(4) | rank_bb(5)) & FILES_B_TO_G,
                                      (rank_bb(2) | rank_bb(3) | rank_bb(4)) & FILES_B_TO_G};
constexpr Bitboard CENTRE_BLOCK =
    (file_bb(2) | file_bb(3) | file_bb(4) | file_bb(5)) & (rank_bb(2) | rank_bb(3) | rank_bb(4) | rank_bb(5));
constexpr Bitboard ENEMY_HALF[2] = {0xFFFFFFFF00000000ULL, 0x00000000FFFFFFFFULL};
constexpr Bitboard THIRD_RANK[2] = {rank_bb(2), rank_bb(5)};

inline int32_t packed(int index) { return eval_params[index].packed; }
// f times a weight, each half truncated on its own.
inline int32_t scaled(int index, float f) {
    const EvalParam& p = eval_params[index];
    return make_packed(int(f * p.mg), int(f * p.eg));
}

// Everything the terms share for one evaluation. Attack sets grow piece
// type by piece type; a term sees the attacks added before it.
struct EvalData {
    Bitboard occ;
    Bitboard own[2], pawns[2], knights[2], bishops[2], rooks[2], queens[2];
    Bitboard pawn_att[2], knight_att[2], bishop_att[2], rook_att[2], queen_att[2];
    Bitboard all_att[2], twice[2];
    Bitboard zone[2], span[2], passed[2], candidates[2], outposts[2];
    Bitboard hung, free_passers;
    int king[2], orient[2], weight[2];
    int32_t total[2];
};

inline void add_attacks(EvalData& d, int c, Bitboard a) {
    d.twice[c] |= d.all_att[c] & a;
    d.all_att[c] |= a;
}

Bitboard king_zone(int k) {
    int f = file_of(k), r = rank_of(k);
    f = f < 1 ? 1 : f > 6 ? 6 : f;
    r = r < 1 ? 1 : r > 6 ? 6 : r;
    int s = square_of(f, r);
    return bit(s) | king_attacks[s];
}

void setup(EvalData& d, const Position& p) {
    d.occ = p.bb[0] | p.bb[8];
    for (int c = 0; c < 2; c++) {
        const int o = c * 8;
        d.own[c] = p.bb[o];
        d.pawns[c] = p.bb[o + PAWN];
        d.knights[c] = p.bb[o + KNIGHT];
        d.bishops[c] = p.bb[o + BISHOP];
        d.rooks[c] = p.bb[o + ROOK];
        d.queens[c] = p.bb[o + QUEEN];
        d.king[c] = p.king_sq[c];
        d.orient[c] = table_orientation(c, d.king[c]);
        d.zone[c] = king_zone(d.king[c]);
        d.knight_att[c] = d.bishop_att[c] = d.rook_att[c] = d.queen_att[c] = 0;

        const Bitboard pa = pawn_attack_set(d.pawns[c], c);
        const Bitboard ka = king_attacks[d.king[c]];
        d.pawn_att[c] = pa;
        d.all_att[c] = pa | ka;
        d.twice[c] = pawn_double_attacks(d.pawns[c], c) | (pa & ka);
        d.span[c] = front_span(d.pawns[c], c);
    }
    for (int c = 0; c < 2; c++) {
        const int e = c ^ 1;
        const Bitboard enemy_span = d.span[e];
        d.passed[c] = d.pawns[c] & ~(enemy_span | sideways(enemy_span));
        d.candidates[c] = d.pawns[c] & ~enemy_span & ~d.passed[c];
        d.outposts[c] = OUTPOST_ZONE[c] & ~sideways(enemy_span);
        // Pawns poised to step into the enemy king's zone.
        d.weight[c] = 2 * popcount(d.zone[e] & shift_forward(d.pawns[c], c));
    }
    d.hung = d.free_passers = 0;
}

// A minor piece on an outpost, or one eyeing an outpost.
int32_t outpost_bonus(const EvalData& d, int c, int s, Bitboard attacks, int param) {
    if (d.outposts[c] & bit(s)) return (d.pawn_att[c] & bit(s)) ? packed(param) : scaled(param, 0.67f);
    return (attacks & d.outposts[c]) ? scaled(param, 0.33f) : 0;
}

void eval_blocked_pawns(EvalData& d) {
    for (int c = 0; c < 2; c++)
        d.total[c] += popcount(d.pawns[c] & shift_back(d.occ, c)) * packed(PAWN_BLOCKED);
}

void eval_knights(EvalData& d) {
    const EvalParam* table = &eval_params[PST_N];
    for (int c = 0; c < 2; c++) {
        const int e = c ^ 1;
        const Bitboard area = ~d.own[c] & ~d.pawn_att[e];
        for (Bitboard b = d.knights[c]; b;) {
            int s = pop_lsb(b);
            Bitboard a = knight_attacks[s];
            int32_t v = packed(MTL_KNIGHT) + table[s ^ d.orient[c]].packed +
                        scaled(KNIGHT_MOBILITY, knight_mobility_factor[popcount(a & area)]);
            d.knight_att[c] |= a;
            add_attacks(d, c, a);
            if (a & d.zone[e]) d.weight[c] += 4;
            d.total[c] += v + outpost_bonus(d, c, s, a, KNIGHT_OUTPOST);
        }
    }
}

void eval_bishops(EvalData& d) {
    const EvalParam* table = &eval_params[PST_B];
    const Bitboard occ = d.occ & ~(d.queens[0] | d.queens[1]);
    for (int c = 0; c < 2; c++) {
        const int e = c ^ 1;
        const Bitboard area = ~d.own[c] & ~d.pawn_att[e];
        for (Bitboard b = d.bishops[c]; b;) {
            int s = pop_lsb(b);
            Bitboard a = bishop_attacks(s, occ);
            int32_t v = packed(MTL_BISHOP) + table[s ^ d.orient[c]].packed +
                        scaled(BISHOP_MOBILITY, slider_mobility_factor[popcount(a & area)]);
            d.bishop_att[c] |= a;
            add_attacks(d, c, a);
            if (a & d.zone[e]) d.weight[c] += 3;
            v += popcount(a & CENTRE_BLOCK) * packed(BISHOP_INFILTRATION);
            d.total[c] += v + outpost_bonus(d, c, s, a, BISHOP_OUTPOST);
        }
        const Bitboard bishops = d.bishops[c];
        if ((bishops & LIGHT_SQUARES) && (bishops & DARK_SQUARES)) d.total[c] += packed(BISHOP_PAIR);
        // Own pawns fixed on the bishop's colour hem it in.
        const Bitboard rammed = d.pawns[c] & shift_back(d.pawns[e], c);
        if (bishops & LIGHT_SQUARES) d.total[c] += popcount(rammed & LIGHT_SQUARES) * packed(BISHOP_RAMPAWNS);
        if (bishops & DARK_SQUARES) d.total[c] += popcount(rammed & DARK_SQUARES) * packed(BISHOP_RAMPAWNS);
    }
}

void eval_rooks(EvalData& d) {
    const EvalParam* table = &eval_params[PST_R];
    const Bitboard all_pawns = d.pawns[0] | d.pawns[1];
    for (int c = 0; c < 2; c++) {
        const int e = c ^ 1;
        // Rooks look through queens and through each other.
        const Bitboard occ = d.occ & ~(d.queens[0] | d.queens[1]) & ~d.rooks[c];
        const Bitboard area = ~d.own[c] & ~(d.pawn_att[e] | d.knight_att[e] | d.bishop_att[e]);
        const bool seventh_target = relative_rank(c, d.king[e]) >= 6;
        for (Bitboard b = d.rooks[c]; b;) {
            int s = pop_lsb(b);
            Bitboard a = rook_attacks(s, occ);
            const Bitboard file = file_bb(file_of(s));
            int32_t v = packed(MTL_ROOK) + table[s ^ d.orient[c]].packed +
                        scaled(ROOK_MOBILITY, slider_mobility_factor[popcount(a & area)]);
            d.rook_att[c] |= a;
            add_attacks(d, c, a);
            if (a & d.zone[e]) d.weight[c] += 4;
            v += popcount(a & file & ENEMY_HALF[c]) * packed(ROOK_INFILTRATION);
            if (!(all_pawns & file)) v += packed(ROOK_OPENFILE);
            if (relative_rank(c, s) == 6 && seventh_target) v += packed(ROOK_7TH);
            d.total[c] += v;
        }
    }
}

void eval_queens(EvalData& d) {
    const EvalParam* table = &eval_params[PST_Q];
    for (int c = 0; c < 2; c++) {
        const int e = c ^ 1;
        const Bitboard area =
            ~d.own[c] & ~(d.pawn_att[e] | d.knight_att[e] | d.bishop_att[e] | d.rook_att[e]);
        const Bitboard diag_occ = d.occ & ~d.bishops[c], line_occ = d.occ & ~d.rooks[c];
        for (Bitboard b = d.queens[c]; b;) {
            int s = pop_lsb(b);
            Bitboard a = bishop_attacks(s, d.occ) | rook_attacks(s, d.occ);
            // For the attack sets the queen also backs up its own bishop
            // and rook batteries.
            Bitboard x = bishop_attacks(s, diag_occ) | rook_attacks(s, line_occ);
            d.total[c] += packed(MTL_QUEEN) + table[s ^ d.orient[c]].packed +
                          scaled(QUEEN_MOBILITY, queen_mobility_factor[popcount(a & area)]);
            d.queen_att[c] |= x;
            add_attacks(d, c, x);
            if (x & d.zone[e]) d.weight[c] += 5;
        }
    }
}

// King terms of the defender d.
void eval_king(EvalData& d, int def) {
    const int att = def ^ 1;
    const int k = d.king[def];
    int32_t v = eval_params[PST_K + (k ^ d.orient[def])].packed;

    if (d.rooks[att] | d.queens[att]) {
        const Bitboard zone = d.zone[def];
        const Bitboard pawns = d.pawns[def];
        const Bitboard one = shift_forward(pawns, def);
        const Bitboard cover = pawns | one | shift_forward(one, def);
        int shield = popcount(shift_forward(zone, def) & cover);
        if (shield > 9) shield = 9;
        v += scaled(PAWN_SHIELD, float(shield - 9) * 0.111f);

        // Squares a checking piece can use without being taken for free.
        const Bitboard safe = ~d.own[att] & ~(d.all_att[def] & ~d.twice[att]);
        const Bitboard knight_checks = knight_attacks[k] & safe;
        const Bitboard diag_checks = bishop_attacks(k, d.occ) & safe;
        const Bitboard line_checks = rook_attacks(k, d.occ) & safe;

        // Attacks the defender's lesser pieces do not cover.
        const Bitboard minor_cover = d.pawn_att[def] | d.knight_att[def] | d.bishop_att[def];
        const Bitboard rook_cover = minor_cover | d.rook_att[def];
        const Bitboard queen_cover = rook_cover | d.queen_att[def];
        const Bitboard cn = d.knight_att[att] & ~minor_cover;
        const Bitboard cb = d.bishop_att[att] & ~minor_cover;
        const Bitboard cr = d.rook_att[att] & ~rook_cover;
        const Bitboard cq = d.queen_att[att] & ~queen_cover;

        const int queen_checks = ((line_checks & cq) != 0) + ((diag_checks & cq) != 0);
        const int checks = popcount(knight_checks & cn) + popcount(diag_checks & cb) +
                           popcount(line_checks & cr) + queen_checks;
        v += checks * packed(ENEMY_CHECKS);

        const int w = d.weight[att] + 3 * popcount((diag_checks | zone) & cb) +
                      popcount(zone & d.pawn_att[att] & ~d.pawn_att[def]) +
                      4 * popcount((knight_checks | zone) & cn) + 4 * popcount((line_checks | zone) & cr) +
                      5 * (queen_checks + popcount(zone & cq)) - shield - 2;
        if (w > 0) v += scaled(d.queens[att] ? KING_DANGER1 : KING_DANGER2, 0.0015f * float(w * w));
    }

    if (!(king_attacks[k] & ~d.all_att[att] & ~d.own[def])) v += packed(KING_TRAPPED);

    if (d.pawns[0] | d.pawns[1]) {
        const Bitboard spans = d.span[0] | d.span[1];
        Bitboard box = bit(k) | king_attacks[k];
        int rings = 0;
        while (!(box & spans) && rings < 7) {
            box = grow(box);
            rings++;
        }
        if (rings) v += scaled(KING_PAWN_DIST, king_pawn_factor[rings]);
    }
    d.total[def] += v;
}

void eval_passers(EvalData& d, const Position& p) {
    const Bitboard all_pawns = d.pawns[0] | d.pawns[1];
    for (int c = 0; c < 2; c++) {
        const int e = c ^ 1;
        const int step = forward_step(c);
        for (Bitboard b = d.passed[c]; b;) {
            const int s = pop_lsb(b);
            const int r = relative_rank(c, s);
            const Bitboard span = front_span(bit(s), c);
            // The rear one of doubled passers runs behind the front one.
            if ((span & all_pawns) || r == 7) continue;

            int target = s + step;
            if (r == 1 && !(d.occ & bit(target))) target += step;
            int kind = PPAWN_BASE;
            if (!(d.occ & bit(target)) && see_move(p, c, s, target) >= 0) {
                kind = PPAWN_MOBILE;
                const Bitboard enemy_minor = d.pawn_att[e] | d.knight_att[e] | d.bishop_att[e];
                const Bitboard contested = span & (d.all_att[e] | d.own[e]);
                const Bitboard held = d.all_att[c] & ~d.twice[e];
                if (!(span & enemy_minor) && !(contested & ~held)) {
                    kind = PPAWN_FREE;
                    d.free_passers |= bit(s);
                }
            }

            const int dsq = r <= 5 ? target + step : target;
            int d_own = distance(d.king[c], dsq), d_enemy = distance(d.king[e], dsq);
            d_own = d_own < 1 ? 1 : d_own > 6 ? 6 : d_own;
            d_enemy = d_enemy > 6 ? 6 : d_enemy;
            int32_t v = scaled(kind, passer_base[r]) +
                        scaled(PPAWN_EKPROX, float(d_enemy - 2) * passer_king[r] / 4) +
                        scaled(PPAWN_FKPROX, float(d_own - 2) * passer_king[r] / 4);
            if (d.pawn_att[c] & bit(target)) v += scaled(PPAWN_CONNECTED, passer_defended[r]);
            d.total[c] += v;
        }
    }
}

void eval_candidates(EvalData& d) {
    for (int c = 0; c < 2; c++) {
        const int e = c ^ 1;
        for (Bitboard b = d.candidates[c]; b;) {
            const int s = pop_lsb(b);
            const int r = relative_rank(c, s);
            const Bitboard span = front_span(bit(s), c);
            if (r < 3 || (span & d.occ)) continue;
            const int helpers = popcount(sideways(bit(s)) & d.pawns[c]);
            const int attackers = popcount(span & d.all_att[e]);
            const int single = (span & d.twice[e]) ? 0 : 1;
            if (helpers < attackers - single + 1) continue;
            // The square below the promotion square.
            const int before_promotion = square_of(file_of(s), c == WHITE ? 6 : 1);
            int dist = distance(d.king[e], before_promotion);
            if (dist > 5) dist = 5;
            d.total[c] += scaled(PPAWN_CANDIDATE, candidate_rank[r] * candidate_distance[dist]);
        }
    }
}

void eval_threats(EvalData& d) {
    Bitboard hung[2];
    for (int c = 0; c < 2; c++) {
        const int e = c ^ 1;
        const Bitboard weak = (d.twice[e] & ~d.pawn_att[c] & ~d.twice[c]) | (d.all_att[e] & ~d.all_att[c]);

        const Bitboard pawns = d.pawns[c] & d.all_att[e] & ~d.pawn_att[e] & ~d.pawn_att[c];
        const Bitboard hung_pawns = pawns & weak;
        const Bitboard minors = (d.knights[c] | d.bishops[c]) & d.all_att[e];
        const Bitboard hung_minors = minors & (d.pawn_att[e] | weak);
        const Bitboard hung_majors =
            (d.rooks[c] | d.queens[c]) & (d.pawn_att[e] | d.knight_att[e] | d.bishop_att[e]);

        d.total[c] += popcount(hung_pawns) * packed(HUNG_PAWN) +
                      popcount(pawns & ~weak) * packed(ATTACKED_PAWN) +
                      popcount(hung_minors) * packed(HUNG_MINOR) +
                      popcount(minors & ~hung_minors & ~d.pawn_att[c]) * packed(ATTACKED_MINOR) +
                      popcount(hung_majors) * packed(HUNG_MAJOR);
        hung[c] = hung_pawns | hung_minors | hung_majors;
    }
    // Pieces a safe pawn push would attack.
    const Bitboard empty = ~d.occ;
    for (int c = 0; c < 2; c++) {
        const int e = c ^ 1;
        const Bitboard single = shift_forward(d.pawns[c], c) & empty;
        const Bitboard pushes = single | (shift_forward(single & THIRD_RANK[c], c) & empty);
        const Bitboard safe = pushes & ~d.pawn_att[e] & (~d.all_att[e] | d.pawn_att[c]);
        const Bitboard targets = pawn_attack_set(safe, c) & d.own[e] & ~d.pawns[e] & ~hung[e];
        d.total[e] += popcount(targets) * packed(PPUSH_THREAT);
    }
    d.hung = hung[0] | hung[1];
}

// Own pieces standing alone between an enemy slider and what it aims at.
Bitboard pinned_on(const EvalData& d, int target, Bitboard diag_snipers, Bitboard line_snipers,
                   Bitboard pieces) {
    Bitboard pinned = 0;
    Bitboard snipers = (bishop_attacks(target, 0) & diag_snipers) | (rook_attacks(target, 0) & line_snipers);
    while (snipers) {
        Bitboard b = between[pop_lsb(snipers)][target] & d.occ;
        if (b && !(b & (b - 1))) pinned |= b & pieces;
    }
    return pinned;
}

void eval_pins(EvalData& d) {
    for (int c = 0; c < 2; c++) {
        const int e = c ^ 1;
        const Bitboard pieces = d.knights[c] | d.bishops[c] | d.rooks[c] | d.queens[c];
        Bitboard pinned = pinned_on(d, d.king[c], d.bishops[e] | d.queens[e], d.rooks[e] | d.queens[e], pieces);
        if (d.queens[c]) pinned |= pinned_on(d, lsb(d.queens[c]), d.bishops[e], d.rooks[e], pieces);
        d.total[c] += popcount(pinned) * packed(PINNED_PIECE);
    }
}

// Material that can rarely win is scaled toward a draw. `score` is for the
// side to move.
int scale_score(const EvalData& d, const Position& p, int score) {
    int units[2];
    for (int c = 0; c < 2; c++)
        units[c] = 3 * (piece_count(p, c, KNIGHT) + piece_count(p, c, BISHOP)) + 5 * piece_count(p, c, ROOK) +
                   9 * piece_count(p, c, QUEEN);
    if (units[0] > 8 || units[1] > 8 || abs_diff(units[0], units[1]) > 3) return score;

    const int white_view = p.side == WHITE ? score : -score;
    const int strong = white_view > 0 ? WHITE : white_view < 0 ? BLACK : -1;
    if (strong >= 0) {
        const int weak = strong ^ 1;
        const Bitboard pawns = d.pawns[strong];
        if (pawns && !d.knights[strong] && !d.rooks[strong]) {
            for (int f : {0, 7}) {
                if (pawns & ~file_bb(f)) continue;
                const int corner = square_of(f, strong == WHITE ? 7 : 0);
                const Bitboard colour = (bit(corner) & DARK_SQUARES) ? DARK_SQUARES : LIGHT_SQUARES;
                if (!(d.bishops[strong] & colour) && distance(d.king[weak], corner) <= 1) return int(score * 0.05);
            }
        }
    }

    double c = 1.0;
    if (!(d.rooks[0] | d.rooks[1]) && popcount(d.bishops[0]) == 1 && popcount(d.bishops[1]) == 1 &&
        !(d.bishops[0] & DARK_SQUARES) != !(d.bishops[1] & DARK_SQUARES) &&
        abs_diff(units[0] + popcount(d.pawns[0]), units[1] + popcount(d.pawns[1])) <= 2)
        c = 0.5;
    if (strong >= 0) {
        const int weak = strong ^ 1;
        if (!d.pawns[strong])
            c *= 0.65;
        else if (popcount(d.pawns[strong]) == 1 && (d.knights[weak] | d.bishops[weak]) && units[weak] >= units[strong])
            c *= 0.75;
    }
    return int(score * c);
}

}  // namespace

int hce_eval(const Position& p, EvalState& es) {

    int units = 0;
    for (int c = 0; c < 2; c++)
        units += piece_count(p, c, PAWN) + 3 * (piece_count(p, c, KNIGHT) + piece_count(p, c, BISHOP)) +
                 5 * piece_count(p, c, ROOK) + 9 * piece_count(p, c, QUEEN);
    double phase = 0.014 * units;
    if (phase > 1) phase = 1;
    es.phase = float(phase);

    EvalData d;
    setup(d, p);
    pawn_structure(p, es, d.total);

    // Each group's share per side, for the trace.
    int32_t groups[TRACE_GROUPS][2];
    int32_t mark[2] = {0, 0};
    auto close_group = [&](int g) {
        for (int c = 0; c < 2; c++) {
            groups[g][c] = d.total[c] - mark[c];
            mark[c] = d.total[c];
        }
    };

    eval_blocked_pawns(d);
    close_group(TRACE_PAWNS);
    eval_knights(d);
    close_group(TRACE_KNIGHTS);
    eval_bishops(d);
    close_group(TRACE_BISHOPS);
    eval_rooks(d);
    close_group(TRACE_ROOKS);
    eval_queens(d);
    close_group(TRACE_QUEENS);
    eval_king(d, WHITE);
    eval_king(d, BLACK);
    close_group(TRACE_KING);
    eval_passers(d, p);
    eval_candidates(d);
    close_group(TRACE_PASSERS);
    eval_threats(d);
    eval_pins(d);
    close_group(TRACE_THREATS);
    d.total[p.side] += packed(STM_BONUS);
    close_group(TRACE_SPECIAL);

    if (es.trace) {
        memcpy(es.trace_terms, groups, sizeof groups);
        es.trace_hung = d.hung;
        es.trace_free_passers = d.free_passers;
    }

    const int32_t v = d.total[p.side] - d.total[p.side ^ 1];
    const int score = int(mg_of(v) * phase + (1 - phase) * eg_of(v));
    return scale_score(d, p, score);
}
