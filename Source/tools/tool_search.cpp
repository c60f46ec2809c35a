// Search set-up shared by the tools that search training positions.
#include "../position/attacks.h"
#include "../position/movegen.h"
#include "../position/position.h"
#include "../search/search_control.h"
#include "../search/strength.h"
#include "../shell/game.h"
#include "../shell/settings.h"
#include "training_tools.h"

bool side_to_move_in_check(const Position& p) { return is_attacked(p, p.king_sq[p.side], p.side ^ 1) != 0; }

int legal_move_list(const Position& p, Move* out) {
    MoveEntry list[MAX_MOVES];
    gen_all(p, list);
    int n = 0;
    for (MoveEntry* e = list; e->move != MOVE_END; e++)
        if (is_legal(p, p.side, e->move)) out[n++] = e->move;
    return n;
}

void quiet_full_strength() {
    output_mode.noise = SILENT_NOISE;
    calibration_nps = 10000000.0f;
    calibrated_elo = 4000.0f;
}

void search_fixed(int depth) {
    SearchLimits limits = game_level_limits();
    if (depth >= 0) limits.max_depth = int16_t(depth);
    start_search(STATE_FIXED, false, limits);
    store_state(0);
}
