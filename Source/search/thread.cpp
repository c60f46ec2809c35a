#include "thread.h"
#include <cstring>

SearchThread* thread_table[MAX_THREADS];
SpinLock search_lock;

void setup_move_lists(SearchThread& t) {
    for (int i = 0; i < MAX_PLY + 2; i++) t.plies[i].moves = t.plies[i].current = t.plies[i].end = t.move_buffer[i];
}

void copy_root(SearchThread& t, const SearchThread& from) {
    t.pos = from.pos;
    attach_position(t);
    int n = from.game.depth;
    if (n < 0) n = 0;
    if (n > MAX_HISTORY) n = MAX_HISTORY;
    memcpy(t.game.records, from.game.records, sizeof(UndoRecord) * n);
    t.game.depth = int16_t(n);
    t.game.last_move = from.game.last_move;
    t.game.ply = 1;
    t.nodes = 0;
    memset(&t.plies[0], 0, sizeof t.plies[0]);
    setup_move_lists(t);
}
