#include "perft.h"
#include "../search/thread.h"
#include "makemove.h"
#include "movegen.h"

void perft(SearchThread& t, int side, int ply, int depth) {
    Position& p = t.pos;
    MoveEntry* list = t.move_buffer[ply];
    gen_all(p, list);
    LegalityInfo li = legality_info(p);
    if (depth == 1) {
        uint64_t n = 0;
        for (MoveEntry* e = list; e->move != MOVE_END; e++) n += is_legal_fast(p, li, *e);
        t.nodes += n;
        return;
    }
    for (MoveEntry* e = list; e->move != MOVE_END; e++) {
        if (!is_legal_fast(p, li, *e)) continue;
        make_move(p, e->move);
        perft(t, side ^ 1, ply + 1, depth - 1);
        unmake_move(p);
    }
}
