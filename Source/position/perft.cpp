#include "perft.h"
#include "makemove.h"
#include "movegen.h"

uint64_t perft(Position& p, int depth) {
    MoveEntry list[MAX_MOVES];
    gen_all(p, list);
    LegalityInfo li = legality_info(p);
    uint64_t n = 0;
    if (depth <= 1) {
        for (MoveEntry* e = list; e->move != MOVE_END; e++) n += is_legal_fast(p, li, *e);
        return n;
    }
    for (MoveEntry* e = list; e->move != MOVE_END; e++) {
        if (!is_legal_fast(p, li, *e)) continue;
        make_move(p, e->move);
        n += perft(p, depth - 1);
        unmake_move(p);
    }
    return n;
}
