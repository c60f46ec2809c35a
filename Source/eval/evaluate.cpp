#include "evaluate.h"

#include "../position/attacks.h"
#include "../position/kpk.h"
#include "../position/position.h"
#include "eval_state.h"
#include "bitmasks.h"
#include "hce.h"
#include "network.h"

int root_side = WHITE;
uint32_t eval_seed = 0;
bool contempt_on = true;
EvalOptions eval_options = DEFAULT_EVAL_OPTIONS;
int16_t eval_noise = 0;
int game_plies = 0;

namespace {

// Fields of the packed piece counts.
constexpr int32_t PAWN_FIELD = 0xF;
constexpr int32_t HEAVY_FIELDS = 0xFF000;  // rooks and queens
constexpr int32_t ONE_KNIGHT = 16, ONE_BISHOP = 256, ONE_ROOK = 4096, ONE_QUEEN = 65536;

// Distance from the four centre squares: 0 on d4-e5, 6 in a corner.
int centre_distance(int sq) {
    int f = file_of(sq), r = rank_of(sq);
    return (f < 4 ? 3 - f : f - 4) + (r < 4 ? 3 - r : r - 4);
}
// Distance from the board edge.
int edge_distance(int sq) {
    int f = file_of(sq), r = rank_of(sq);
    int a = f < 7 - f ? f : 7 - f, b = r < 7 - r ? r : 7 - r;
    return a < b ? a : b;
}
// Distance from the nearer of the a1 and h8 corners.
int dark_corner_distance(int sq) {
    int s = file_of(sq) + rank_of(sq);
    return s < 14 - s ? s : 14 - s;
}

// A rook or queen against a bare king: drive the king to the edge and
// bring the own king closer.
int mating_score(const Position& p, int side) {
    int value[2];
    for (int c = 0; c < 2; c++)
        value[c] = 256 * (piece_count(p, c, ROOK) + 2 * piece_count(p, c, QUEEN)) - 16 * centre_distance(p.king_sq[c]);
    const int winner = value[WHITE] > value[BLACK] ? WHITE : BLACK;
    value[winner] += 1000 - 16 * distance(p.king_sq[0], p.king_sq[1]);
    return clamp_eval(value[side] - value[side ^ 1]);
}

// Bishop and knight: the bare king belongs in a corner of the bishop's colour.
int bishop_knight_score(const Position& p, int strong) {
    const int bishop = lsb(p.bb[make_piece(strong, BISHOP)]);
    const int knight = lsb(p.bb[make_piece(strong, KNIGHT)]);
    const int sk = p.king_sq[strong], wk = p.king_sq[strong ^ 1];
    // Mirrored so that the bishop's corners are a1 and h8.
    const int w = (bit(bishop) & LIGHT_SQUARES) ? wk ^ 7 : wk;
    return 900 + edge_distance(sk) + edge_distance(knight) - 8 * edge_distance(w) - 8 * dark_corner_distance(w) -
           8 * distance(sk, wk);
}

// King and pawn against king, with the exact result from the win table.
int king_pawn_score(const Position& p, int strong, int side) {
    const int pawn = lsb(p.bb[make_piece(strong, PAWN)]);
    const int sk = p.king_sq[strong], wk = p.king_sq[strong ^ 1];
    const int queening = square_of(file_of(pawn), strong == WHITE ? 7 : 0);
    int score = 4 * relative_rank(strong, pawn) + distance(wk, queening) - distance(sk, queening);
    if (kpk_probe(strong, side, sk, pawn, wk)) score += 800;
    return score;
}

// Static score of a position that no rule settles and the cache misses.
int static_score(const Position& p, EvalState& es) {
    if (eval_options.use_nn == 1 && network_loaded()) return network_endgame_scale(p, network_eval(p, es));
    return clamp_eval(hce_eval(p, es));
}

}  // namespace

int rule_ending(const Position& p, int side, int* decided) {
    const int32_t cw = p.counts[WHITE], cb = p.counts[BLACK];
    const bool bare_white = cw == 0, bare_black = cb == 0;
    *decided = 1;
    if (!((cw | cb) & (PAWN_FIELD | HEAVY_FIELDS))) {
        // Only minor pieces: one each at most, or two knights against a
        // bare king, cannot be won.
        int minors_w = piece_count(p, WHITE, KNIGHT) + piece_count(p, WHITE, BISHOP);
        int minors_b = piece_count(p, BLACK, KNIGHT) + piece_count(p, BLACK, BISHOP);
        if (minors_w <= 1 && minors_b <= 1) return 0;
        if ((cw == 2 * ONE_KNIGHT && bare_black) || (cb == 2 * ONE_KNIGHT && bare_white)) return 0;
    }
    if (!bare_white && !bare_black) {
        *decided = 0;
        return 0;
    }
    const int strong = bare_white ? BLACK : WHITE;
    const int32_t material = p.counts[strong];
    if (material & HEAVY_FIELDS) return mating_score(p, side);
    if (material == ONE_KNIGHT + ONE_BISHOP) {
        int s = bishop_knight_score(p, strong);
        return side == strong ? s : -s;
    }
    if (material == 1) {
        int s = king_pawn_score(p, strong, side);
        return side == strong ? s : -s;
    }
    *decided = 0;
    return 0;
}

int network_endgame_scale(const Position& p, int score) {
    const int32_t cw = p.counts[WHITE], cb = p.counts[BLACK];
    if (!((cw | cb) & HEAVY_FIELDS) && piece_count(p, WHITE, BISHOP) == 1 && piece_count(p, BLACK, BISHOP) == 1) {
        const bool white_dark = (p.bb[make_piece(WHITE, BISHOP)] & DARK_SQUARES) != 0;
        const bool black_dark = (p.bb[make_piece(BLACK, BISHOP)] & DARK_SQUARES) != 0;
        if (white_dark != black_dark) score -= score / 4;
    }
    if ((cw == ONE_QUEEN && cb == ONE_ROOK) || (cw == ONE_ROOK && cb == ONE_QUEEN)) score /= 2;
    return score;
}

int evaluate(const Position& p, EvalState& es, int side, int ply, int in_check) {
    es.evals++;
    es.ply = ply;
    if (in_check) return EVAL_CHECK;

    int decided;
    const int ruled = rule_ending(p, side, &decided);
    if (decided) return ruled;

    EvalCacheEntry& entry = es.cache[(side == BLACK ? EVAL_CACHE_SIZE / 2 : 0) + (p.key & (EVAL_CACHE_SIZE / 2 - 1))];
    // Near the root the score is always recomputed.
    if (entry.key == p.key && ply > 2) {
        es.cache_hits++;
        return entry.score;
    }

    int s = static_score(p, es);

    if (game_plies > 4 && contempt_on) {
        // Contempt shrinks with the material left and turns into a small
        // draw-seeking bonus for the root side near bare kings.
        int minors = 0, rooks = 0, queens = 0, pawns = 0;
        for (int c = 0; c < 2; c++) {
            minors += piece_count(p, c, KNIGHT) + piece_count(p, c, BISHOP);
            rooks += piece_count(p, c, ROOK);
            queens += piece_count(p, c, QUEEN);
            pawns += piece_count(p, c, PAWN);
        }
        int pawn_part = 100 * pawns < 1200 ? 100 * pawns : 1200;
        int m = 350 * minors + 550 * rooks + 1060 * queens + 2 * pawn_part;
        if (m > 8192) m = 8192;
        int c = ((m - 4096) * eval_options.phase_contempt) / 4096 + (m * eval_options.contempt) / 8192;
        s += side == root_side ? c : -c;
    }

    if (eval_noise > 0) {
        uint64_t r = (uint64_t(int64_t(int32_t(eval_seed))) ^ p.key) % uint64_t(eval_noise);
        s += int(r) - (eval_noise >> 1);
    }

    s -= s * p.fifty / 256;

    entry.key = p.key;
    entry.score = int16_t(s);
    return s;
}
