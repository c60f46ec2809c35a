#include "../position/makemove.h"
#include "../position/movegen.h"
#include "../position/notation.h"
#include "../position/see.h"
#include "hash.h"
#include "picker.h"
#include "search.h"
#include "search_control.h"

namespace {

// Pieces the opponent needs to keep the game going: minors 1, rooks and queens 2.
constexpr int material_weight[8] = {0, 0, 1, 1, 2, 2, 0, 0};

inline int weight_of(const Position& p, int side) {
    return piece_count(p, side, KNIGHT) + piece_count(p, side, BISHOP) +
           2 * (piece_count(p, side, ROOK) + piece_count(p, side, QUEEN));
}

}  // namespace

int quiesce(Position& p, int side, int ply, int depth, int alpha, int beta, NodeType node_type, Move* line) {
    SearchThread& t = *p.thread;
    PlyEntry& pe = t.plies[ply];
    const int e = pe.eval;
    if (e >= beta) return beta;
    if (e > alpha) alpha = e;
    int best = e;
    Move best_move = 0;
    const int them = side ^ 1;
    const int opponent_weight = weight_of(p, them);

    int margin = 150;
    pe.picker_mode = PICK_TACTICAL_CHECKS;
    if (depth > 0) margin = 500;
    else if (depth < 0) pe.picker_mode = PICK_TACTICAL;
    pe.picker_stage = STAGE_TABLE_MOVE;

    Move child[MAX_PLY + 2];
    while (MoveEntry* m = next_move(p)) {
        int mover = piece_type(m->piece), victim = piece_type(m->captured);
        int to = move_to(m->move);
        bool en_passant = mover == PAWN && to == p.ep_square;
        if (en_passant) victim = PAWN;
        bool check = gives_check(p, side, *m);
        int v;
        if (check) v = 5000;
        else if (victim && opponent_weight - material_weight[victim] <= 1) v = 5000;
        else if (mover == PAWN && (side == WHITE ? rank_of(to) >= 6 : rank_of(to) <= 1)) v = 1500;
        else v = see_value[victim];
        if (alpha - margin >= v + e) continue;
        if (exchange_value[mover] > exchange_value[victim] && !en_passant &&
            see_move(p, side, move_from(m->move), to) < -50)
            continue;
        prefetch_after(p, m->move);
        if (!is_legal(p, side, m->move)) continue;

        pe.move_flags = uint16_t((victim ? 1 : 0) | (check ? 2 : 0));
        make_move(p, m->move);
        int score = -search(p, them, ply + 1, depth - 1, -beta, -alpha, child_node(node_type), child);
        unmake_move(p);
        if (stop_search.load(std::memory_order_relaxed)) return 0;
        pe.moves_searched++;

        if (score > alpha && score > best) {
            best_move = m->move;
            line[ply] = m->move;
            line[ply + 1] = 0;
            best = score;
            if (best >= beta) break;
            int i = ply + 1;
            for (; i <= MAX_PLY - 1 && child[i]; i++) line[i] = child[i];
            line[i] = 0;
        }
    }
    if (best < beta) return best;
    if (depth >= -1) store(p, ply, depth < 0 ? depth : 0, best_move, e, best, BOUND_LOWER);
    return best;
}
