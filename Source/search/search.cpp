#include "search.h"
#include "../eval/evaluate.h"
#include "../position/attacks.h"
#include "../position/makemove.h"
#include "../position/movegen.h"
#include "../position/notation.h"
#include "../position/see.h"
#include "../pyrrhic/tablebase.h"
#include "hash.h"
#include "picker.h"
#include "search_control.h"
#include "search_tables.h"
#include "strength.h"
#include "time_control.h"

namespace {

constexpr int KING_LOSS = 9999;

inline bool stopped() { return stop_search.load(std::memory_order_relaxed) != 0; }

inline int min_i(int a, int b) { return a < b ? a : b; }
inline int max_i(int a, int b) { return a > b ? a : b; }

// Fail-hard clipping except for mate-range scores, which must travel up
// unchanged so that mate distances stay exact.
inline int clip(int r, int alpha, int beta) {
    if (r >= beta && r < MATE_BOUND) return beta;
    if (r > alpha || r <= -MATE_BOUND) return r;
    return alpha;
}

inline bool has_pieces(const Position& p, int side) {
    return (p.bb[side * 8] & ~p.bb[make_piece(side, PAWN)] & ~p.bb[make_piece(side, KING)]) != 0;
}

// What the side that owns the piece on sq loses there when the enemy takes
// with its least attacker and the exchange is played out.
int hanging_loss(const Position& p, int us, int sq, int value, Bitboard occ) {
    int them = us ^ 1;
    int a = least_attacker(p, sq, them, occ);
    if (a == NO_SQ) return 0;
    if (piece_type(p.board[sq]) == KING) return KING_LOSS;
    int back = see_gain(p, us, sq, piece_type(p.board[a]), occ & ~bit(a));
    return max_i(0, value - back);
}

// Reverse futility is only safe when nothing of ours hangs by more than the
// margin and no enemy pawn is about to promote.
bool faces_threat(const Position& p, int us, int eval, int beta) {
    int them = us ^ 1;
    Bitboard occ = occupancy(p);
    for (int type = PAWN; type <= KING; type++) {
        int v = see_value[type];
        if (eval - v >= beta) continue;
        Bitboard b = p.bb[make_piece(us, type)];
        while (b) {
            int sq = pop_lsb(b);
            int loss = hanging_loss(p, us, sq, v, occ);
            if (loss && beta + 24 >= eval - loss) return true;
        }
    }
    Bitboard pawns = p.bb[make_piece(them, PAWN)];
    Bitboard far = them == WHITE ? 0x00FFFF0000000000ULL : 0x0000000000FFFF00ULL;
    pawns &= far;
    while (pawns) {
        int sq = pop_lsb(pawns);
        int push = them == WHITE ? sq + 8 : sq - 8;
        if (p.board[push]) continue;
        if (see_move(p, them, sq, push) >= 0) return true;
    }
    return false;
}

}  // namespace

uint16_t classify_move(const Position& p, const MoveEntry& e) {
    uint16_t flags = 0;
    int side = p.side, mover = piece_type(e.piece);
    bool castling = (e.move & FLAG_MASK) && mover == KING;
    int to = move_to(e.move);
    bool capture = !castling && (e.captured || (mover == PAWN && to == p.ep_square));
    if (capture) flags |= MOVE_CAPTURE;
    if (gives_check(p, side, e)) flags |= MOVE_CHECK;
    if (mover == PAWN) {
        int rel = side == WHITE ? rank_of(to) : 7 - rank_of(to);
        if (rel == 7) flags |= MOVE_PROMOTION;
        else if (rel == 6) flags |= MOVE_TO_SEVENTH;
        else if (rel == 5 && !capture) flags |= MOVE_TO_SIXTH;
    }
    return flags;
}

namespace {

void update_quiet_statistics(SearchThread& t, PlyEntry& pe, const MoveEntry& e, int depth, bool cut) {
    uint16_t& h = t.history_table[e.piece][move_to(e.move)];
    int w = min_i(depth + 1, 9);
    if (cut) h = uint16_t(h + w * (65536 - h) / 256 > 65535 ? 65535 : h + w * (65536 - h) / 256);
    else h = uint16_t(h - w * h / 512);
    if (!cut) return;
    Move m = e.move;
    if (pe.in_check) {
        pe.check_killer = m;
    } else if (m != pe.killer1) {
        pe.killer2 = pe.killer1;
        pe.killer1 = m;
    }
    const Position& p = t.pos;
    Move prev = t.game.last_move;
    if (prev && t.game.ply > 1) {
        int pc = p.board[move_to(prev)], sq = move_to(prev);
        if (t.counter_move[pc][sq] != m) {
            t.counter_move2[pc][sq] = t.counter_move[pc][sq];
            t.counter_move[pc][sq] = m;
        }
    }
    if (t.game.ply > 2 && t.game.depth >= 2) {
        Move back2 = t.game.records[t.game.depth - 2].move;
        if (back2) t.follow_up[p.board[move_to(back2)]][move_to(back2)] = m;
    }
}

inline void copy_line(Move* line, const Move* child, int ply) {
    int i = ply + 1;
    for (; i <= MAX_PLY - 1 && child[i]; i++) line[i] = child[i];
    line[i] = 0;
}

// Throttle, node and depth limits: main worker only.
void main_worker_limits(SearchThread& t) {
    if (throttle_on.load(std::memory_order_relaxed)) {
        while (shared.main_depth > 1 && !stopped() &&
               double(uint64_t(t.nodes)) / (double(read_clock(false)) + 0.0001) > target_nps) {
            sleep_ms(1);
            check_time();
        }
    }
    if (t.root_state == ROOT_FAILING_LOW) return;
    uint64_t n = t.nodes;
    if (int64_t(n) < search_node_check) return;
    const SearchLimits& l = search_limits;
    if (int64_t(n) >= l.max_nodes || (strength_node_budget > 0 && int64_t(n) >= strength_node_budget))
        stop_search.store(1, std::memory_order_relaxed);
    if (t.iteration_depth >= l.stop_depth) stop_search.store(1, std::memory_order_relaxed);
}

}  // namespace

bool not_losing(const Position& p, const MoveEntry& e) {
    int mover = piece_type(e.piece), to = move_to(e.move), from = move_from(e.move);
    if ((e.move & FLAG_MASK) && mover == KING) return true;  // castling is legal, hence safe
    int victim = piece_type(e.captured);
    if (exchange_value[victim] >= exchange_value[mover]) return true;
    if (mover == PAWN && to == p.ep_square) return true;
    int us = p.side, them = us ^ 1;
    Bitboard occ = occupancy(p) & ~bit(from);
    int c = see_value[victim];
    int h = 0;
    int a = least_attacker(p, to, them, occ);
    if (a != NO_SQ) {
        if (mover == KING) {
            h = KING_LOSS;
        } else {
            int g = 0;
            Bitboard o2 = occ & ~bit(a);
            int r = least_attacker(p, to, us, o2);
            if (r != NO_SQ) {
                if (piece_type(p.board[a]) == KING) g = KING_LOSS;
                else g = max_i(0, see_value[piece_type(p.board[a])] -
                                      see_gain(p, them, to, piece_type(p.board[r]), o2 & ~bit(r)));
            }
            h = max_i(0, see_value[mover] - g);
        }
    }
    return c - h >= -50;
}

int search(Position& p, int side, int ply, int depth, int alpha, int beta, NodeType node_type, Move* line) {
    SearchThread& t = *p.thread;
    t.nodes++;
    if (t.index == 0) main_worker_limits(t);
    if (stopped()) return 0;
    if (ply > t.seldepth) t.seldepth = uint8_t(ply);

    // Mate-distance bounds: no score here can beat a mate already found
    // nearer the root, so the window shrinks to what is still possible.
    alpha = max_i(alpha, ply - MATE);
    beta = min_i(beta, MATE - 1 - ply);
    PlyEntry& pe = t.plies[ply];
    pe.node_type = int16_t(node_type);
    pe.depth = int16_t(depth);
    pe.alpha = int16_t(alpha);
    pe.beta = int16_t(beta);
    pe.threat_extension = 0;
    pe.move_flags = 0;
    pe.moves_searched = 0;
    pe.tb_result = TB_NONE;
    pe.hash_score = int16_t(SCORE_NONE);
    pe.hash_depth = 0;
    pe.hash_move = 0;
    line[ply] = 0;
    line[ply + 1] = 0;
    if (depth >= -1) prefetch_hash(p);
    if (alpha >= beta) return alpha;

    Bitboard checkers = attackers_of(p, p.king_sq[side], side ^ 1);
    int in_check = checkers != 0;
    pe.in_check = int16_t(in_check);
    pe.check_sq = uint8_t(in_check ? lsb(checkers) : NO_SQ);

    // Draws by rule. A repetition inside the search counts at once; one
    // that reaches back into the game needs a second occurrence, so that
    // a position met once before the root is not scored as a draw yet.
    if (p.fifty > 3) {
        if (p.fifty > 99) {
            if (!(in_check && no_legal_move(p))) return 0;
        } else {
            int n = t.game.depth;
            bool earlier = false;
            for (int i = n - 2; i >= 0 && t.game.records[i].move; i -= 2) {
                if (t.game.records[i].key != p.key) continue;
                if (i > n - ply || earlier) return 0;
                earlier = true;
            }
        }
    }

    if (ply > MAX_PLY - 2) return in_check ? 0 : evaluate(t.pos, t.eval, side, ply, 0);

    // The table: a deep enough entry whose bound decides the window ends a
    // non-PV node; otherwise its move is searched first and its score
    // guides the prunings below.
    int eval = SCORE_NONE;
    bool table_fails_low = false;
    HashHit hit;
    if (probe(p, hit)) {
        int score = score_from_hash(hit.score, hit.depth, depth, ply);
        bool usable = node_type != NODE_PV && hit.depth >= depth;
        pe.hash_depth = int8_t(hit.depth < -128 ? -128 : hit.depth > 127 ? 127 : hit.depth);
        if (score > alpha && score >= beta) {
            if (usable && hit.bound != BOUND_UPPER) return score >= MATE_BOUND ? score : beta;
        } else if (score > alpha) {
            if (usable && hit.bound == BOUND_EXACT) return clip(score, alpha, beta);
        } else if (hit.bound != BOUND_LOWER) {
            if (usable) return clip(score, alpha, beta);
            table_fails_low = true;
        }
        pe.hash_move = hit.move;
        pe.hash_score = int16_t(score);
        if (hit.eval != SCORE_NONE) eval = hit.eval;
    }

    // Tablebases, probed right after a capture or pawn move (only then can
    // the material have changed) and below a node that was in the tables.
    // A result better than the parent's says the parent's move was a
    // mistake; a win or loss settles any window short of a decisive score.
    const int parent_tb = t.plies[ply - 1].tb_result;
    if (parent_tb != TB_NONE || p.fifty == 0) {
        int r = probe_tb_wdl(p, parent_tb != TB_NONE ? 256 : depth);
        pe.tb_result = r;
        if (r != TB_NONE) {
            t.tb_hits++;
            if (parent_tb != TB_NONE && r > TB_WIN - parent_tb) return beta;
            if (r == TB_WIN && beta < DECISIVE) return beta;
            if (r == TB_LOSS && alpha > -DECISIVE) return alpha;
            if (eval == SCORE_NONE) {
                eval = evaluate(t.pos, t.eval, side, ply, in_check);
                if (r == TB_LOSS) eval -= TB_WIN_BONUS;
                else if (r == TB_WIN) eval += TB_WIN_BONUS;
                else if (r == TB_DRAW) eval /= 4;
            }
        }
    }

    if (eval == SCORE_NONE) eval = evaluate(t.pos, t.eval, side, ply, in_check);
    pe.eval = int16_t(eval);

    // The horizon: quiescence, or every evasion when in check.
    if (depth < 1) {
        int r = in_check ? search_moves(p, side, ply, 0, alpha, beta, node_type, line)
                         : quiesce(p, side, ply, depth, alpha, beta, node_type, line);
        return clip(r, alpha, beta);
    }

    const SearchTables& st = search_tables;
    // Prunings and extra searches for a node not in check. Near the
    // fifty-move limit none of them is sound: a quiet line may end in a draw.
    if (!in_check && depth + p.fifty <= 99) {
        // Futility: far below alpha near the horizon, only captures and
        // checks can help, which is what quiescence searches.
        if (depth <= st.fp_depth && depth < 8 && alpha - st.fp_margins[depth] >= eval && alpha < DECISIVE &&
            node_type != NODE_PV)
            return clip(quiesce(p, side, ply, depth, alpha, beta, node_type, line), alpha, beta);

        // Reverse futility: far above beta with nothing hanging, the node
        // fails high without a search.
        bool pieces = has_pieces(p, side);
        if (depth <= st.sep_depth && depth < 8 && eval >= beta + st.sep_margins[depth] && beta > -DECISIVE &&
            node_type == NODE_CUT && pieces && !table_fails_low && !faces_threat(p, side, eval, beta))
            return beta;

        // Null move: if passing still fails high, a move will too. Not with
        // pawns alone (zugzwang), nor twice in a row; deep nodes verify the
        // cut-off with a reduced search of their own moves.
        bool null_tried = false;
        if (depth >= st.nmp_depth && node_type == NODE_CUT && eval > beta + 14 && pieces && !table_fails_low &&
            t.game.last_move != 0) {
            null_tried = true;
            int R = depth > 15 ? 5 : depth / 8 + 3;
            int child_depth = depth - min_i(R, depth - 1) - 1;
            Move child[MAX_PLY + 2];
            make_null(p);
            int score = -search(p, side ^ 1, ply + 1, child_depth, -beta, -alpha, NODE_ALL, child);
            unmake_null(p);
            if (stopped()) return 0;
            if (score >= beta) {
                if (depth <= 5) return beta;
                int v = search_moves(p, side, ply, depth - 5, alpha, beta, NODE_CUT, line);
                if (stopped()) return 0;
                v = clip(v, alpha, beta);
                if (v >= beta) return v;
            }
        }

        // Internal deepening: a PV node without a good table entry searches
        // shallower first for a move to start with. Elsewhere a node
        // without a table move is searched a ply less.
        if (node_type == NODE_PV && !null_tried) {
            if (depth > 3 && pe.hash_depth < depth - 3) {
                int v = search_moves(p, side, ply, depth - 3, alpha, beta, NODE_PV, line);
                if (stopped()) return 0;
                pe.hash_score = int16_t(v);
                pe.hash_depth = int8_t(depth - 3);
                pe.hash_move = line[ply];
            }
        } else if (depth > 2 && !pe.hash_move) {
            depth--;
            pe.depth = int16_t(depth);
        }

        // Threat extension: after a forcing move by the opponent that leaves
        // the static value well below alpha, a half-depth search that still
        // reaches beta shows tactics the static value misjudges; the node
        // is searched a ply deeper.
        if (depth > 5 && t.plies[ply - 1].move_flags && eval < alpha - 75) {
            int v = pe.hash_score;
            if (pe.hash_depth < depth / 2) {
                v = search_moves(p, side, ply, depth / 2, alpha, beta, node_type, line);
                if (stopped()) return 0;
                pe.hash_score = int16_t(v);
                pe.hash_move = line[ply];
            }
            if (v >= beta) pe.threat_extension = 1;
        }
    }
    return clip(search_moves(p, side, ply, depth, alpha, beta, node_type, line), alpha, beta);
}

int search_moves(Position& p, int side, int ply, int depth, int alpha, int beta, NodeType node_type, Move* line) {
    SearchThread& t = *p.thread;
    PlyEntry& pe = t.plies[ply];
    line[ply] = 0;
    pe.alpha = int16_t(alpha);
    pe.beta = int16_t(beta);
    pe.moves_searched = 0;
    pe.picker_mode = PICK_ALL;
    pe.picker_stage = STAGE_TABLE_MOVE;
    const int alpha_in = alpha;
    const int in_check = pe.in_check;
    const int extension = in_check && depth > 1 ? 1 : pe.threat_extension;
    const int limit = 3 * max_i(depth, 1);
    const SearchTables& st = search_tables;
    const bool prune = depth <= st.lmp_depth && node_type != NODE_PV;
    const int8_t (*reductions)[32] = st.reduction[node_type == NODE_PV ? 0 : 1];
    const Move table_move = pe.hash_move;
    const MoveEntry* table_slot = pe.moves + MOVES_PER_PLY - 1;
    bool table_move_done = false;

    LegalityInfo li = legality_info(p);
    Move child[MAX_PLY + 2];
    int best = SCORE_NONE;
    Move best_move = 0;

    while (MoveEntry* e = next_move(p)) {
        Move m = e->move;
        if (e == table_slot) table_move_done = true;
        else if (table_move_done && m == table_move) continue;
        if (!is_legal_fast(p, li, *e)) continue;
        // The child's table window is a miss in every cache more often than
        // not: ask for it now, while the tests below run.
        if (depth >= 0) prefetch_after(p, m);

        uint16_t flags = classify_move(p, *e);
        bool quiet = flags == 0;
        int safe = -1;  // not-losing test, computed when first needed
        auto is_safe = [&]() {
            if (safe < 0) safe = not_losing(p, *e);
            return safe == 1;
        };

        // Late-move pruning near the horizon: after enough quiet moves (a few
        // more when ordering still rates them), and any quiet or weak
        // tactical move that loses material, are skipped.
        if (prune && best > -LOST_BOUND) {
            if (quiet) {
                int cap = (e->score > 35 || pe.alpha < pe.eval) ? limit + 3 : limit;
                if (pe.moves_searched >= cap || !is_safe()) continue;
            } else if (depth == 1 && e->score <= 99 && !is_safe()) {
                continue;
            }
        }

        // Late-move reductions, from the table by depth and move number;
        // tactical moves are barely reduced, losing moves one more.
        int r = 0;
        if (depth >= st.lmr_depth) {
            int d = min_i(depth, 30);
            r = reductions[d][min_i(pe.moves_searched, 30)];
            if (in_check) r = min_i(r, 1);
            if (!quiet) r = (e->score > 149 || pe.moves_searched < 2) ? 0 : min_i(r, 1);
            if (!is_safe()) r++;
            r = min_i(r, d - 1);
        }

        pe.move_flags = flags;
        make_move(p, m);
        int score;
        bool full = true;
        // Moves after the first get a null window (reduced) first, and the
        // full window only when they may raise alpha.
        if (pe.moves_searched > 0 && depth > 1) {
            score = -search(p, side ^ 1, ply + 1, depth - r - 1, -alpha - 1, -alpha, NODE_CUT, child);
            if (score <= alpha || (score >= beta && r == 0)) full = false;
        }
        if (full)
            score = -search(p, side ^ 1, ply + 1, depth - 1 + extension, -beta, -alpha, child_node(node_type), child);
        unmake_move(p);
        if (stopped()) return 0;
        pe.moves_searched++;

        if (!(flags & MOVE_CAPTURE) && depth > 0) update_quiet_statistics(t, pe, *e, depth, score >= beta);

        if (score > best) {
            best_move = m;
            line[ply] = m;
            line[ply + 1] = 0;
            if (score > alpha) {
                best = score;
                if (score >= beta) break;
                copy_line(line, child, ply);
                alpha = score;
            } else {
                best = score;
            }
        }
    }

    if (pe.moves_searched == 0) return in_check ? ply - MATE : 0;
    if (depth >= -1) {
        int bound = best <= alpha_in ? BOUND_UPPER : best < beta ? BOUND_EXACT : BOUND_LOWER;
        store(p, ply, depth, best_move, pe.eval, best, bound);
    }
    return best;
}
