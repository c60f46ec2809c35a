// -mkopenings: an openings file for the self-play generator, made by the
// engine itself: six random legal moves per side from the start position,
// kept when a short search calls the result balanced.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../position/makemove.h"
#include "../position/movegen.h"
#include "../search/hash.h"
#include "../search/search_control.h"
#include "../search/strength.h"
#include "../shell/game.h"
#include "../shell/settings.h"
#include "../shell/uci.h"
#include "training_tools.h"


constexpr int OPENING_PLIES = 12;
constexpr int BALANCED = 60;  // centipawns either way
constexpr int CHECK_DEPTH = 4;

void make_openings(const char* openings_output, int openings_wanted) {
    FILE* out = fopen(openings_output, "w");
    if (!out) {
        printf("can't open %s\n", openings_output);
        return;
    }
    quiet_full_strength();
    end_of_input_quits = 0;
    uint32_t seed = fresh_seed();
    int kept = 0, tried = 0;
    while (kept < openings_wanted && tried < 100 * openings_wanted) {
        tried++;
        set_game_position(start_fen);
        clear_game_record();
        bool ended = false;
        for (int ply = 0; ply < OPENING_PLIES && !ended; ply++) {
            Position& p = game_position();
            MoveEntry list[MAX_MOVES];
            Move legal[MAX_MOVES];
            int n = 0;
            gen_all(p, list);
            for (MoveEntry* e = list; e->move != MOVE_END; e++)
                if (is_legal(p, p.side, e->move)) legal[n++] = e->move;
            if (n == 0) {
                ended = true;
                break;
            }
            seed = seed * 1664525u + 1013904223u;
            play_game_move(legal[(seed >> 8) % uint32_t(n)]);
        }
        if (ended || is_draw(game_position(), 0, 0)) continue;
        clear_hash();
        SearchLimits limits = game_level_limits();
        limits.max_depth = CHECK_DEPTH;
        start_search(STATE_FIXED, false, limits);
        store_state(0);
        if (!search_result.best_move || search_result.score > BALANCED || search_result.score < -BALANCED) continue;
        char fen[128];
        get_fen(game_position(), fen, 0);
        fprintf(out, "%s\n", fen);
        kept++;
    }
    fclose(out);
    printf("wrote %d openings to %s\n", kept, openings_output);
    end_of_input_quits = 1;
}
