#include "epd_analysis.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../position/makemove.h"
#include "../position/notation.h"
#include "../search/hash.h"
#include "../search/search.h"
#include "../search/search_control.h"
#include "../search/strength.h"
#include "../shell/console.h"
#include "../shell/game.h"
#include "../system/output.h"
#include "../shell/settings.h"
#include "../shell/uci.h"
#include "epd.h"

namespace {

struct SuiteTotals {
    int positions = 0, correct = 0;
    double nodes = 0, time = 0, depth = 0, ebf = 0;
    int points = 0, possible = 0;
};

bool is_separator(char c) { return c == ' ' || c == ',' || c == ';' || c == '"' || c == '\r' || c == '\n'; }

// Reads a piece of move text on the game position; 0 when it names no legal move.
Move read_move(const char* piece, int length) {
    char text[40];
    if (length <= 0 || length > 30) return 0;
    snprintf(text, sizeof text, "%.*s", length, piece);
    Move m;
    return parse_move(game_position(), text, m) ? m : 0;
}

// Correct answers for a bm list (every listed move equal to the answer).
int count_best_moves(const char* bm, Move answer) {
    int n = 0;
    for (const char* s = bm; *s;) {
        while (*s && is_separator(*s)) s++;
        const char* start = s;
        while (*s && !is_separator(*s)) s++;
        if (s > start && read_move(start, int(s - start)) == answer) n++;
    }
    return n;
}

// Points of a c0 list of move=points entries: adds the points of the
// answer to scored and the largest value (at least 0) to possible.
void score_points(const char* c0, Move answer, int& scored, int& possible) {
    const char* s = c0;
    while (*s == ' ' || *s == '"') s++;
    int best = 0;
    while (*s) {
        while (*s && (*s == ',' || *s == ' ' || *s == '"' || *s == '\r' || *s == '\n')) s++;
        const char* start = s;
        while (*s && *s != ',' && *s != ' ' && *s != '"' && *s != '\r' && *s != '\n') s++;
        const char* eq = static_cast<const char*>(memchr(start, '=', size_t(s - start)));
        if (!eq) continue;
        int value = atoi(eq + 1);
        if (value > best) best = value;
        if (read_move(start, int(eq - start)) == answer && answer) scored += value;
    }
    possible += best;
}

// The positions after the good root moves, for book building.
void write_good_moves(FILE* out) {
    Position& p = game_position();
    int count = search_result.pv_count;
    const Move* moves = search_result.pv_first;
    const int* scores = search_result.pv_score;
    Move only = search_result.best_move;
    int only_score = search_result.score;
    if (count == 0 && search_result.best_move) {
        count = 1;
        moves = &only;
        scores = &only_score;
    }
    int limit = search_options.multipv < 1 ? 1 : search_options.multipv;
    for (int k = 0; k < count && k < limit; k++) {
        if (scores[k] < search_result.score - 100 || hash_move_problem(p, moves[k]) != 0) continue;
        make_move(p, moves[k]);
        char fen[128];
        get_fen(p, fen, 0);
        fprintf(out, "%s\n", fen);
        unmake_move(p);
    }
}

}  // namespace

void analyse_epd(const char* epd_in, const char* out_name, bool second_form) {
    EngineSettings& s = settings;
    const char* name = out_name && out_name[0] ? out_name : "analysis.epd";
    FILE* in = fopen(epd_in, "r");
    FILE* out = in ? fopen(name, "w") : nullptr;
    FILE* good = out ? fopen("tmp_0.epd", "w") : nullptr;
    if (!good) {
        if (in) fclose(in);
        if (out) fclose(out);
        return;
    }
    engine_printf("Analyzing %s...", epd_in);
    if (s.max_depth <= 3) hash_use = 0;
    calibration_nps = 10000000.0f;
    calibrated_elo = 4000.0f;
    // The suite runs with no input at all; a closed input is no quit here.
    end_of_input_quits = 0;
    bool quiet = output_mode.noise >= SILENT_NOISE;

    SuiteTotals t;
    char line[512];
    auto* fields = new EpdFields;
    while (fgets(line, sizeof line, in)) {
        // The rest of an over-long line is not a line of its own.
        if (!strchr(line, '\n') && !feof(in)) {
            int c;
            while ((c = fgetc(in)) != EOF && c != '\n') {
            }
        }
        const char* l = line;
        if (static_cast<unsigned char>(l[0]) == 0xEF && static_cast<unsigned char>(l[1]) == 0xBB &&
            static_cast<unsigned char>(l[2]) == 0xBF)
            l += 3;
        if (l[0] == ' ' || l[0] == '#' || l[0] == ';' || strlen(l) <= 9) continue;
        if (!parse_epd_line(l, *fields)) continue;
        fields->fen[strcspn(fields->fen, "\r\n")] = 0;
        if (!set_game_position(fields->fen)) continue;
        clear_game_record();
        t.positions++;
        if (!quiet) {
            engine_printf("pos= %d", t.positions);
            engine_printf("%.*s", int(strcspn(l, "\r\n")), l);
            print_board(game_position());
        }
        if (hash_use) clear_hash();

        start_search(STATE_FIXED, true, game_level_limits());
        store_state(0);
        t.nodes += double(search_result.nodes);
        t.time += search_result.elapsed;
        t.depth += search_result.depth;
        t.ebf += effective_branching_factor();
        bool quit = s.quit_requested != 0;

        if (fields->bm[0]) {
            t.correct += count_best_moves(fields->bm, search_result.best_move);
        } else if (fields->am[0]) {
            Move avoid = read_move(fields->am, int(strlen(fields->am)));
            if (avoid && avoid != search_result.best_move) t.correct++;
        }
        if (strchr(fields->c0, '=')) score_points(fields->c0, search_result.best_move, t.points, t.possible);

        char move[16] = "none";
        if (search_result.best_move) move_to_text(game_position(), game_position().side, search_result.best_move, move);
        if (!quiet)
            printf("move= %s, time= %0.3f, score= %d, nodes= %0.0f, %0.0fK nps\n", move, double(search_result.elapsed), search_result.score,
                   double(search_result.nodes), double(search_result.nodes) / (search_result.elapsed + 0.002) / 1000);
        if (search_result.best_move)
            fprintf(out, "%s bm %s%s; ce %d;\n", fields->fen, square_names[move_from(search_result.best_move)],
                    square_names[move_to(search_result.best_move)], search_result.score);
        if (second_form) write_good_moves(good);
        if (quit) break;
    }
    delete fields;
    fclose(in);
    fclose(out);
    fclose(good);

    double n = t.positions ? t.positions : 1;
    bool any = t.positions > 0;
    engine_printf("%d / %d correct best moves", t.correct, t.positions);
    engine_printf("total nodes= %0.0f", t.nodes);
    engine_printf("total time= %0.2f seconds", t.time);
    engine_printf("avg depth= %0.1f", any ? t.depth / n : 0.0);
    engine_printf("avg nodes= %0.1f", any ? t.nodes / n : 0.0);
    engine_printf("node_rate= %0.0f", t.nodes / (t.time + 0.001));
    engine_printf("avg bf= %0.2f", any ? t.ebf / n : 0.0);
    engine_printf("score= %d / %d", t.points, t.possible);
    engine_print("");
    end_of_input_quits = 1;
}
