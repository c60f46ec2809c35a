#include "picker.h"
#include "../position/movegen.h"
#include "../position/see.h"

namespace {

// Good tactical moves: 210 + 10 per victim step, minus the mover's type.
constexpr int16_t victim_base[8] = {210, 220, 230, 230, 240, 250, 250, 210};
// Tactical moves that lose material by exchange.
constexpr int16_t losing_score[8] = {2, 4, 12, 12, 16, 20, 20, 2};

inline MoveEntry* best_from(MoveEntry* from, MoveEntry* end) {
    MoveEntry* best = from;
    for (MoveEntry* e = from + 1; e < end; e++)
        if (e->score > best->score) best = e;
    return best;
}

}  // namespace

void pick_best(MoveEntry* e) {
    MoveEntry* end = e;
    while (end->move != MOVE_END) end++;
    if (e == end) return;
    MoveEntry* best = best_from(e, end);
    MoveEntry tmp = *best;
    *best = *e;
    *e = tmp;
}

void init_history(SearchThread& t) {
    for (auto& row : t.history_table)
        for (auto& h : row) h = 4096;
    for (int i = 0; i < 16; i++)
        for (int j = 0; j < 64; j++) t.counter_move[i][j] = t.counter_move2[i][j] = t.follow_up[i][j] = 0;
    for (PlyEntry& pe : t.plies) pe.killer1 = pe.killer2 = pe.check_killer = 0;
}

int tactical_score(const Position& p, const MoveEntry& e, bool with_see) {
    int victim = piece_type(e.captured), mover = piece_type(e.piece);
    if (with_see && see_move(p, p.side, move_from(e.move), move_to(e.move)) < -49) return losing_score[victim];
    return victim_base[victim] - mover;
}

int quiet_score(const SearchThread& t, const PlyEntry& pe, const MoveEntry& e) {
    int score = t.history_table[e.piece][move_to(e.move)] * 70 / 65536;
    Move m = e.move;
    Move prev = t.game.ply > 1 ? t.game.last_move : 0;
    Move counter = 0, counter2 = 0, follow = 0;
    const Position& p = t.pos;
    if (prev) {
        int pc = p.board[move_to(prev)];
        counter = t.counter_move[pc][move_to(prev)];
        counter2 = t.counter_move2[pc][move_to(prev)];
    }
    if (t.game.ply > 2 && t.game.depth >= 2) {
        Move back2 = t.game.records[t.game.depth - 2].move;
        if (back2) follow = t.follow_up[p.board[move_to(back2)]][move_to(back2)];
    }
    if (pe.in_check) {
        if (m == pe.check_killer) return score + 70;
        if (m == counter) return score + 50;
        if (m == counter2) return score + 40;
        return score;
    }
    if (m == pe.killer1) return score + 70;
    if (m == pe.killer2) return score + 60;
    if (m == counter) return score + 50;
    if (m == counter2) return score + 40;
    if (m == follow) return score + 20;
    return score;
}

MoveEntry* next_move(Position& p) {
    SearchThread& t = *p.thread;
    PlyEntry& pe = t.plies[t.game.ply];
    int mode = pe.picker_mode;
    switch (pe.picker_stage) {
        case STAGE_TABLE_MOVE:
            pe.current = pe.end = pe.moves;
            if (mode == PICK_ALL && pe.hash_move) {
                pe.picker_stage = STAGE_MAKE_TACTICAL;
                MoveEntry* e = pe.moves + MOVES_PER_PLY - 1;  // scratch slot past any real list
                e->move = pe.hash_move;
                e->score = 255;
                e->piece = p.board[move_from(pe.hash_move)];
                e->captured = (pe.hash_move & FLAG_MASK) && piece_type(e->piece) == KING
                                  ? 0
                                  : p.board[move_to(pe.hash_move)];
                return e;
            }
            [[fallthrough]];
        case STAGE_MAKE_TACTICAL: {
            int target = pe.in_check ? pe.check_sq : NO_SQ;
            MoveEntry* end = gen_captures(p, p.side, pe.moves, target);
            end = gen_promotions(p, p.side, mode == PICK_ALL, end);
            end = gen_pushes_to_seventh(p, p.side, end);
            for (MoveEntry* e = pe.moves; e < end; e++) e->score = int16_t(tactical_score(p, *e, mode == PICK_ALL));
            pe.current = pe.moves;
            pe.end = end;
            pe.picker_stage = STAGE_GOOD_TACTICAL;
        }
            [[fallthrough]];
        case STAGE_GOOD_TACTICAL:
            if (pe.current < pe.end) {
                MoveEntry* best = best_from(pe.current, pe.end);
                if (best->score > 100) {
                    MoveEntry tmp = *best;
                    *best = *pe.current;
                    *pe.current = tmp;
                    return pe.current++;
                }
            }
            pe.picker_stage = STAGE_MAKE_QUIET;
            [[fallthrough]];
        case STAGE_MAKE_QUIET:
            if (mode == PICK_ALL) {
                MoveEntry* start = pe.end;
                pe.end = gen_quiets(p, p.side, start, pe.in_check ? pe.check_sq : NO_SQ);
                for (MoveEntry* e = start; e < pe.end; e++) e->score = int16_t(quiet_score(t, pe, *e));
            } else if (mode == PICK_TACTICAL_CHECKS) {
                MoveEntry* start = pe.end;
                pe.end = gen_quiet_checks(p, p.side, start);
                for (MoveEntry* e = start; e < pe.end; e++) e->score = 100;
            }
            pe.picker_stage = STAGE_GOOD_QUIET;
            [[fallthrough]];
        case STAGE_GOOD_QUIET:
            if (pe.current < pe.end) {
                MoveEntry* best = best_from(pe.current, pe.end);
                if (best->score > 3) {
                    MoveEntry tmp = *best;
                    *best = *pe.current;
                    *pe.current = tmp;
                    return pe.current++;
                }
            }
            pe.picker_stage = STAGE_REST;
            [[fallthrough]];
        default:
            if (pe.current < pe.end) return pe.current++;
            return nullptr;
    }
}
