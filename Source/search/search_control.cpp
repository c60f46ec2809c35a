#include "search_control.h"
#include <sys/select.h>
#include <ctime>
#include "../position/attacks.h"
#include "../position/makemove.h"
#include "../position/movegen.h"
#include "../position/see.h"
#include "../shell/game.h"
#include "thread.h"

Move best_move = 0, ponder_move = 0, book_move = 0;
int16_t best_score = 0;
uint8_t depth_reached = 0;
float elapsed = 0;
uint64_t total_nodes = 0;

void sleep_ms(int ms) {
    timeval tv;
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    select(0, nullptr, nullptr, nullptr, &tv);
}

double now_seconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

constexpr int MATE_SCORE = 10000;

// One-ply choice until the tree search exists: the exchange value of each
// legal move (so pieces are not left hanging), plus the promotion gain;
// mate in one beats everything and stalemating is avoided.
static int one_ply_value(Position& p, Move m) {
    int us = p.side, from = move_from(m), to = move_to(m);
    bool castling = (m & FLAG_MASK) && piece_type(p.board[from]) == KING;
    int v = castling ? 0 : see_move(p, us, from, to);
    if (!castling && (m & FLAG_MASK)) v += see_value[promo_type(m)] - see_value[PAWN];
    make_move(p, m);
    if (no_legal_move(p)) v = is_attacked(p, p.king_sq[p.side], us) ? MATE_SCORE - 1 : -MATE_SCORE / 2;
    unmake_move(p);
    return v;
}

void start_search(uint16_t state, bool threaded) {
    (void)threaded;
    store_state(state);
    stop_search.store(0, std::memory_order_relaxed);
    double start = now_seconds();

    SearchThread& t = *thread_table[0];
    copy_root(t, *game_block);
    Position& p = t.pos;
    MoveEntry list[MAX_MOVES];
    gen_all(p, list);
    Move best = 0;
    int best_value = -2 * MATE_SCORE;
    for (MoveEntry* e = list; e->move != MOVE_END; e++) {
        if (!is_legal(p, p.side, e->move)) continue;
        t.nodes++;
        int v = one_ply_value(p, e->move);
        if (v > best_value) best_value = v, best = e->move;
    }
    if (!best) best_value = is_attacked(p, p.king_sq[p.side], p.side ^ 1) ? -MATE_SCORE : 0;
    if (best_value > MATE_SCORE) best_value = MATE_SCORE;

    best_move = best;
    ponder_move = 0;
    best_score = int16_t(best_value);
    depth_reached = 1;
    total_nodes = t.nodes;
    elapsed = float(now_seconds() - start);
    add_state(STATE_RESULT_READY);
}
