#include "tablebase.h"
#include <cstdio>
#include "../position/attacks.h"
#include "../position/makemove.h"
#include "../system/output.h"
#include "tbprobe.h"

TablebaseOptions tb_options = DEFAULT_TB_OPTIONS;

void tb_setup(const char* path) { tb_init(path); }

TbPosition tb_position(const Position& p, int rule50) {
    TbPosition t;
    t.white = p.bb[make_piece(WHITE, 0)];
    t.black = p.bb[make_piece(BLACK, 0)];
    auto both = [&p](int type) { return p.bb[make_piece(WHITE, type)] | p.bb[make_piece(BLACK, type)]; };
    t.kings = both(KING);
    t.queens = both(QUEEN);
    t.rooks = both(ROOK);
    t.bishops = both(BISHOP);
    t.knights = both(KNIGHT);
    t.pawns = both(PAWN);
    t.rule50 = uint8_t(rule50 < 0 ? 0 : rule50 > 255 ? 255 : rule50);
    t.ep = p.ep_square == NO_SQ ? 0 : p.ep_square;
    t.turn = p.side == WHITE ? 1 : 0;
    return t;
}

int probe_tb_wdl(const Position& p, int depth) {
    if (p.castle) return TB_NONE;
    const int men = popcount(occupancy(p));
    if (men > tb_largest) return TB_NONE;
    if (men >= 6 && depth < tb_options.probe_depth6) return TB_NONE;
    if (men == 7 && depth < tb_options.probe_depth7) return TB_NONE;
    int success;
    int v = tb_probe_wdl(tb_position(p, 0), success);  // -2 (loss) to 2 (win)
    return success ? v + TB_DRAW : TB_NONE;
}

int tb_filter_root(Position& p, MoveEntry* list, MoveEntry*& end, bool print) {
    const int r = probe_tb_wdl(p, 80);
    if (r == TB_NONE) return r;
    char text[560];
    int len = snprintf(text, sizeof text, "info string TB result is %s with moves: ",
                       r == TB_WIN ? "WIN" : r == TB_LOSS ? "LOSS" : "DRAW");
    // Decide every move first, so that a set of tables at odds with itself
    // (every move seeming to spoil the result) leaves the list as it was.
    bool keep[MAX_MOVES];
    int kept = 0;
    for (MoveEntry* e = list; e < end; e++) {
        make_move(p, e->move);
        int z = probe_tb_wdl(p, 80);
        unmake_move(p);
        keep[e - list] = z == TB_NONE || TB_WIN - z >= r;
        kept += keep[e - list];
    }
    MoveEntry* out = list;
    for (MoveEntry* e = list; e < end; e++) {
        if (kept && !keep[e - list]) continue;
        if (len <= 479)
            len += snprintf(text + len, sizeof text - len, "%s%s ", square_names[move_from(e->move)],
                            square_names[move_to(e->move)]);
        *out++ = *e;
    }
    end = out;
    end->move = MOVE_END;
    if (print) engine_print(text);
    return r;
}

int tb_root_move(const Position& p, const MoveEntry* list, const MoveEntry* end, Move& move, int& score) {
    if (p.fifty <= 9 || p.castle || popcount(occupancy(p)) > tb_largest) return 0;
    uint32_t res = tb_probe_root(tb_position(p, p.fifty));
    if (res == TB_RESULT_FAILED || res == TB_RESULT_MATE || res == TB_RESULT_STALEMATE) return 0;
    static const Move promo_flags[5] = {0, PROMO_Q, PROMO_R, PROMO_B, PROMO_N};
    const int from = tb_result_from(res), to = tb_result_to(res), promo = tb_result_promo(res);
    if (promo > 4) return 0;
    for (const MoveEntry* e = list; e < end; e++) {
        if (move_from(e->move) != from || move_to(e->move) != to) continue;
        const bool pawn = piece_type(e->piece) == PAWN;
        const Move flags = pawn ? Move(e->move & FLAG_MASK) : 0;
        if (flags != promo_flags[promo]) continue;
        move = e->move;
        const int wdl = int(tb_result_wdl(res));  // a TbResult
        score = wdl == TB_WIN ? 9800 : wdl == TB_LOSS ? -9800 : 0;
        return 1;
    }
    return 0;
}
