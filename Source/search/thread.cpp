#include "thread.h"
#include <cstring>

SearchThread* thread_table[MAX_THREADS];
SpinLock search_lock;

void setup_move_lists(SearchThread& t) {
    for (int i = 0; i < MAX_PLY + 2; i++) t.plies[i].moves = t.plies[i].current = t.plies[i].end = t.move_buffer[i];
}

void copy_root(SearchThread& t, const SearchThread& game) {
    t.pos = game.pos;
    t.pos.thread = &t;
    int n = game.history_depth;
    if (n < 0) n = 0;
    if (n > MAX_HISTORY) n = MAX_HISTORY;
    memcpy(t.history, game.history, sizeof(UndoRecord) * n);
    t.history_depth = int16_t(n);
    t.last_move = game.last_move;
    t.ply = 1;
    t.nodes = 0;
    memset(&t.plies[0], 0, sizeof t.plies[0]);
    setup_move_lists(t);
}
