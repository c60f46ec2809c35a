// -gentraindata: self-play games from a file of openings, written as
// scored EPD training lines and as PGN ("autogen.pgn").
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>
#include "../eval/evaluate.h"
#include "../position/attacks.h"
#include "../position/makemove.h"
#include "../position/movegen.h"
#include "../position/notation.h"
#include "../search/hash.h"
#include "../search/search.h"
#include "../search/search_control.h"
#include "../search/strength.h"
#include "../shell/game.h"
#include "../shell/settings.h"
#include "../shell/uci.h"
#include "epd.h"
#include "training_tools.h"


namespace {

constexpr int MAX_OPENINGS = 199001;
constexpr int OPENING_SIZE = 128;
constexpr int MAX_GAME_PLIES = 251;
constexpr int PROGRESS_SECONDS = 60;

// One searched ply of a game.
struct PlyRecord {
    int score, static_value, quiet_value;
    bool written;  // quiet, and the search's move neither captures nor promotes
    char fen[OPENING_SIZE];
    char text[32];  // the move and its comment
};

// The game in progress: fixed arrays, reused for every game, so that a
// run of any length keeps the same memory.
struct GameRecord {
    PlyRecord plies[MAX_GAME_PLIES];
    int count;
    char start_fen[OPENING_SIZE];
};

struct Openings {
    char (*fen)[OPENING_SIZE];
    int count;
};

bool read_openings(const char* name, Openings& o) {
    o = {nullptr, 0};
    FILE* f = fopen(name, "r");
    if (!f) return false;
    int capacity = 0;
    auto* fields = new EpdFields;
    char line[512];
    while (o.count < MAX_OPENINGS && fgets(line, sizeof line, f)) {
        if (!strchr(line, '\n')) {
            int c;
            while ((c = fgetc(f)) != EOF && c != '\n') {
            }
        }
        const char* l = line;
        if (static_cast<unsigned char>(l[0]) == 0xEF && static_cast<unsigned char>(l[1]) == 0xBB) l += 3;
        if (l[0] == '#' || l[0] == ';' || strlen(l) < 10 || !parse_epd_line(l, *fields)) continue;
        fields->fen[strcspn(fields->fen, "\r\n")] = 0;
        if (o.count == capacity) {
            capacity = capacity ? capacity * 2 : 1024;
            if (capacity > MAX_OPENINGS) capacity = MAX_OPENINGS;
            auto* grown = static_cast<char(*)[OPENING_SIZE]>(realloc(o.fen, size_t(capacity) * OPENING_SIZE));
            if (!grown) break;
            o.fen = grown;
        }
        snprintf(o.fen[o.count++], OPENING_SIZE, "%s", fields->fen);
    }
    delete fields;
    fclose(f);
    return o.count > 0;
}

// A long run is ended with Ctrl-C or a termination signal: the game in
// progress is dropped, the files are closed whole and the totals printed.
void stop_generating(int) {
    settings.quit_requested = 1;
    stop_search.store(1, std::memory_order_relaxed);
}

bool has_material(const Position& p) {
    return (occupancy(p) & ~(p.bb[make_piece(WHITE, KING)] | p.bb[make_piece(BLACK, KING)])) != 0;
}

// The move in algebraic notation, castling written as the king's move.
void move_text(const Position& p, Move m, char* out) {
    bool castle = (m & FLAG_MASK) && piece_type(p.board[move_from(m)]) == KING;
    if (castle) {
        int to = square_of((m & FLAG_KS) ? 6 : 2, rank_of(move_from(m)));
        snprintf(out, 16, "K%s", square_names[to]);
        return;
    }
    char f1[16], f3[16], f4[16];
    move_texts(p, m, f1, out, f3, f4);
}

// The running totals and their report, checked after every search so that
// a long game does not hold back the progress line.
struct Progress {
    long long positions = 0;
    int games = 0;
    double start = 0, last_report = 0;
    FILE* out = nullptr;
    FILE* pgn = nullptr;
};
Progress progress;

void report_progress() {
    double secs = now_seconds() - progress.start;
    printf("games %d, positions %lld, %.1f positions per second\n", progress.games, progress.positions,
           secs > 0 ? double(progress.positions) / secs : 0.0);
    if (progress.out) fflush(progress.out);
    if (progress.pgn) fflush(progress.pgn);
    progress.last_report = now_seconds();
}

void check_progress() {
    if (now_seconds() - progress.last_report >= PROGRESS_SECONDS) report_progress();
}

// A legal move other than best, drawn with the seed; best when there is none.
Move random_other_move(Position& p, Move best, uint32_t& seed) {
    Move legal[MAX_MOVES];
    int n = 0;
    Move all[MAX_MOVES];
    const int count = legal_move_list(p, all);
    for (int i = 0; i < count; i++)
        if (all[i] != best) legal[n++] = all[i];
    if (n == 0) return best;
    seed = seed * 1664525u + 1013904223u;
    return legal[(seed >> 8) % uint32_t(n)];
}

// Plays one game from fen; White's result (1, 0.5, 0) in white_result.
// With a random-move rate, that share of the moves is replaced by a random
// legal one after the search, so that the games also reach positions a
// good player avoids (a piece down, a king in the open); their scores still
// come from searches.
// random_permille: the share (per thousand) of moves replaced by a random legal move.
void play_game(const char* fen, int random_permille, GameRecord& g, double& white_result, uint32_t& seed) {
    g.count = 0;
    white_result = 0.5;
    if (!set_game_position(fen)) return;
    clear_game_record();
    snprintf(g.start_fen, sizeof g.start_fen, "%s", fen);
    int previous = 0;
    for (int ply = 0;; ply++) {
        Position& p = game_position();
        if (is_draw(p, 0, 0) || !has_material(p) || settings.quit_requested) return;
        start_search(STATE_FIXED, false, game_level_limits());
        store_state(0);
        check_progress();
        if (!search_result.best_move || hash_move_problem(p, search_result.best_move) != 0) {
            // Mate ends the game for the side to move; stalemate is a draw.
            if (side_to_move_in_check(p)) white_result = p.side == WHITE ? 0.0 : 1.0;
            return;
        }
        int side = p.side;
        int k = search_result.score;
        PlyRecord& r = g.plies[g.count++];
        r.score = k;
        r.static_value = search_result.root_eval;
        r.quiet_value = search_result.root_qscore;

        get_fen(p, r.fen, 0);
        char san[16];
        move_text(p, search_result.best_move, san);
        // A pending capture, or a best move that captures or promotes: the
        // score is the exchange's, not the board's, and the position is not
        // written. The comment's depth is 0 on such positions.
        r.written = quiet_root(r.static_value, r.quiet_value) && !tactical_move(p, search_result.best_move);
        snprintf(r.text, sizeof r.text, "%s {%0.2f/%d}", san, k / 100.0, r.written ? int(search_result.depth) : 0);

        double mover = -1;  // the side to move's result once decided
        if (k >= 1500 && previous < -1499) mover = 1;
        else if (k < -1499 && previous >= 1500) mover = k < -500 ? 0 : 0.5;
        else if (ply >= 250 || g.count >= MAX_GAME_PLIES) mover = k > 500 ? 1 : k < -500 ? 0 : 0.5;
        if (mover >= 0) {
            white_result = side == WHITE ? mover : 1 - mover;
            return;
        }
        previous = k;
        Move played = search_result.best_move;
        if (random_permille > 0) {
            seed = seed * 1664525u + 1013904223u;
            if ((seed >> 8) % 1000u < uint32_t(random_permille)) {
                played = random_other_move(p, search_result.best_move, seed);
                // The search's opinion of the move played no longer holds.
                previous = 0;
            }
        }
        if (played != search_result.best_move) {
            move_text(p, played, san);
            snprintf(r.text, sizeof r.text, "%s {random}", san);
        }
        play_game_move(played);
    }
}

void write_game(FILE* pgn, FILE* out, const GameRecord& g, double white_result, int number, long long& positions) {
    const char* result = white_result == 1 ? "1-0" : white_result == 0 ? "0-1" : "1/2-1/2";
    fprintf(pgn, "[Event \"autogen\"]\n[Game \"g_%d\"]\n[White \"Vorn\"]\n[Black \"Vorn\"]\n[Result \"%s\"]\n[FEN \"%s\"]\n\n",
            number, result, g.start_fen);
    for (int i = 0; i < g.count; i++) {
        fprintf(pgn, "%s ", g.plies[i].text);
        bool black_moved = strstr(g.plies[i].fen, " b ") != nullptr;
        if (black_moved) fprintf(pgn, "\n");
    }
    fprintf(pgn, "\n\n");
    for (int i = 8; i < g.count; i++) {
        const PlyRecord& r = g.plies[i];
        // Only quiet positions: where the side to move has a capture to make,
        // the score already counts it and the board does not show it yet.
        if (!r.written) continue;
        double mover = strstr(r.fen, " w ") ? white_result : 1 - white_result;
        fprintf(out, "%s ce %d; gr %0.1f;\n", r.fen, r.score, mover);
        positions++;
    }
}

}  // namespace

uint32_t fresh_seed() {
    return uint32_t(time(nullptr)) ^ uint32_t(clock()) ^ (uint32_t(getpid()) * 2654435761u);
}

bool tactical_move(const Position& p, Move m) {
    const int mover = p.board[move_from(m)], target = p.board[move_to(m)];
    if (piece_type(mover) == PAWN) return (m & FLAG_MASK) != 0 || target != 0 || move_to(m) == p.ep_square;
    return target != 0 && piece_colour(target) != piece_colour(mover);
}

void gen_train_data(const ToolArguments& a) {
    EngineSettings& s = settings;
    Openings openings;
    if (!read_openings(a.openings_input, openings)) {
        printf("can't read openings from %s\n", a.openings_input);
        free(openings.fen);
        return;
    }
    FILE* out = fopen(a.bin_file, "w");
    FILE* pgn = out ? fopen("autogen.pgn", "w") : nullptr;
    auto* game = static_cast<GameRecord*>(malloc(sizeof(GameRecord)));
    if (!out || !pgn || !game) {
        if (out) fclose(out);
        if (pgn) fclose(pgn);
        free(game);
        free(openings.fen);
        return;
    }
    printf("generating training data\n");
    eval_noise = int16_t(a.generator_noise);
    quiet_full_strength();
    if (s.max_depth <= 2) hash_use = 0;
    end_of_input_quits = 0;
    auto old_int = signal(SIGINT, stop_generating);
    auto old_term = signal(SIGTERM, stop_generating);

    // Without evaluation noise, generators with one seed would repeat
    // each other's games.
    uint32_t seed = fresh_seed();
    progress = Progress{};
    progress.out = out;
    progress.pgn = pgn;
    progress.start = progress.last_report = now_seconds();
    for (int64_t n = 0; n < a.train_positions && !s.quit_requested; n++) {
        seed = seed * 1664525u + 1013904223u;
        const char* fen = openings.fen[seed % uint32_t(openings.count)];
        double white = 0.5;
        play_game(fen, a.random_move_permille, *game, white, seed);
        if (game->count >= 30 && !s.quit_requested) {
            write_game(pgn, out, *game, white, int(n), progress.positions);
            progress.games++;
        }
        check_progress();
    }
    report_progress();
    signal(SIGINT, old_int);
    signal(SIGTERM, old_term);
    fclose(out);
    fclose(pgn);
    free(game);
    free(openings.fen);
    eval_noise = 0;
    end_of_input_quits = 1;
}
