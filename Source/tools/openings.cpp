// -mkopenings: an openings file for the self-play generator, made by the
// engine itself: six random legal moves per side from the start position,
// or, with a Polyglot book, a weighted walk of 6 to 16 plies through the
// book followed by two random moves, kept when a short search calls the
// result balanced. Twelve random plies give positions no game between
// players reaches (rooks out through the h-file, kings walked in the
// opening); the book's lines keep the games in the openings a front end
// will play, and the random tail keeps them from repeating.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../book/book_probe.h"
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
constexpr int BOOK_MIN_PLIES = 6, BOOK_MAX_PLIES = 16, BOOK_TAIL_PLIES = 2;
constexpr int BALANCED = 60;  // centipawns either way
constexpr int CHECK_DEPTH = 4;

static uint32_t next_random(uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
}

// Plays up to plies book moves from the game position, each drawn by its
// weight as the engine's own book play draws them (variety 25 keeps the
// weights' proportions); stops early where the book has no move.
static void walk_book(const char* book, int plies, uint32_t& seed) {
    for (int ply = 0; ply < plies; ply++) {
        Position& p = game_position();
        BookEntry entries[BOOK_MAX_MOVES];
        int64_t shares[BOOK_MAX_MOVES], sum_weights = 0;
        int n = read_book_entries(book, polyglot_key(p), entries, BOOK_MAX_MOVES);
        int64_t total = book_shares(entries, n, 25, shares, sum_weights);
        if (total <= 0) return;
        int chosen = pick_book_entry(entries, shares, n, int64_t(next_random(seed) % uint64_t(total)));
        Move m = chosen < 0 ? 0 : legal_book_move(p, entries[chosen].move);
        if (!m) return;
        play_game_move(m);
    }
}

void make_openings(const char* openings_output, int openings_wanted, const char* book) {
    bool from_book = book && book[0];
    if (from_book) {
        BookEntry probe[1];
        set_game_position(start_fen);
        if (read_book_entries(book, polyglot_key(game_position()), probe, 1) == 0) {
            printf("no start position in book %s\n", book);
            return;
        }
    }
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
        int random_plies = OPENING_PLIES;
        if (from_book) {
            walk_book(book, BOOK_MIN_PLIES + int(next_random(seed) % (BOOK_MAX_PLIES - BOOK_MIN_PLIES + 1)), seed);
            random_plies = BOOK_TAIL_PLIES;
        }
        for (int ply = 0; ply < random_plies && !ended; ply++) {
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
            play_game_move(legal[next_random(seed) % uint32_t(n)]);
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
