#include "console.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../book/book_probe.h"
#include "../eval/eval_trace.h"
#include "../position/makemove.h"
#include "../position/notation.h"
#include "../position/perft.h"
#include "../search/hash.h"
#include "../search/search_control.h"
#include "../search/search_tables.h"
#include "../tools/pgn_tools.h"
#include "console_commands.h"
#include "game.h"
#include "../system/output.h"
#include "settings.h"

int engine_plays = 0, self_play = 0;
uint64_t searched_key = 0;
int searched_side = -1;

void print_board(const Position& p) {
    char text[512];
    get_fen(p, text, 0);
    char* o = text + strlen(text);
    *o++ = '\n';
    for (int rank = 7; rank >= 0; rank--) {
        for (int file = 0; file < 8; file++) {
            int code = p.board[square_of(file, rank)];
            *o++ = ' ';
            if (code) *o++ = piece_letters[piece_colour(code) ? 7 + piece_type(code) : piece_type(code)];
            else *o++ = (rank & 1) == (file & 1) ? '+' : '-';
        }
        *o++ = '\n';
    }
    strcpy(o, p.side == WHITE ? "white\n" : "black\n");
    engine_print(text);
}

static void console_fen(const char* fen) {
    if (!set_game_position(fen)) engine_print("invalid FEN");
}

static void run_perft(int depth) {
    SearchThread& t = *thread_table[0];
    copy_root(t, *game_block);
    double start = now_seconds();
    const uint64_t nodes = perft(t.pos, depth);
    double secs = now_seconds() - start;
    printf("visited %0.0f nodes in %0.3f seconds, nps= %0.0f\n", double(nodes), secs, double(nodes) / (secs + 0.001));
    fflush(stdout);
}

// Score of the last depth-0 search, shown by the evaluation report.
static int console_qscore = 0;

// The last move, the quiescence score and the term trace of the game position.
static void evaluation_report() {
    SearchThread& g = *game_block;
    if (g.game.depth > 0) {
        Move last = g.game.records[g.game.depth - 1].move;
        char text[8];
        snprintf(text, sizeof text, "%s%s", square_names[move_from(last)], square_names[move_to(last)]);
        int moved_white = g.pos.side == BLACK;
        engine_printf("last move was %d%s %s", (game_ply() + 1) / 2, moved_white ? "." : "...", text);
    }
    SearchLimits limits = game_level_limits();
    limits.max_depth = 0;
    start_search(STATE_FIXED, false, limits);
    store_state(0);
    console_qscore = search_result.score;
    SearchThread& t = *thread_table[0];
    copy_root(t, *game_block);
    eval_trace(t.pos, t.eval, 1, console_qscore);
}

// The board after a command that changes or shows it, with the evaluation
// report first when the debug setting asks for it.
static void show_board() {
    if (settings.analysis_debug) evaluation_report();
    print_board(game_position());
}

static void play_text(const char* word) {
    // parse_move rewrites its text in place and may add two characters.
    char text[CONSOLE_WORD_CHARS + 3];
    snprintf(text, sizeof text, "%s", word);
    Move m;
    if (!parse_move(game_position(), text, m)) {
        engine_printf("invalid: %s", word);
        return;
    }
    engine_printf("%d. move %s", game_ply() / 2 + 1, word);
    play_game_move(m);
    show_board();
}

static int clamp_number(const char* text, int lo, int hi, int absent) {
    if (!text[0]) return absent;
    long v = strtol(text, nullptr, 10);
    return int(v < lo ? lo : v > hi ? hi : v);
}

static void analyse_command(const char* depth) {
    EngineSettings& s = settings;
    s.own_book = 0;
    s.base_time = 99999.0f;
    s.moves_per_control = 1;
    s.max_depth = int16_t(clamp_number(depth, 0, 80, 80));
    if (hash_use < 2) clear_hash();
    store_state(STATE_GO_WAITING);
}

void console_command(const char* line) {
    char words[CONSOLE_WORDS][CONSOLE_WORD_CHARS + 1] = {};
    const char* rest = "";
    const char* s = line;
    for (int n = 0; n < CONSOLE_WORDS; n++) {
        while (*s == ' ') s++;
        int len = 0;
        for (; *s && *s != ' '; s++)
            if (len < CONSOLE_WORD_CHARS) words[n][len++] = *s;
        if (n == 0) rest = *s ? s + 1 : s;
    }
    const char* cmd = words[0];
    auto is = [cmd](const char* name) { return strcmp(cmd, name) == 0; };

    if (is("quit")) {
        settings.quit_requested = 1;
        return;
    }
    if (is(".")) {
        stop_search.store(1, std::memory_order_relaxed);
        return;
    }
    if (load_state() != 0) return;

    if (is("new")) {
        console_fen(start_fen);
        print_board(game_position());
        settings.time_left[WHITE] = settings.time_left[BLACK] = settings.base_time;
    } else if (is("fen")) {
        console_fen(rest);
        print_board(game_position());
    } else if (is("mv")) {
        engine_plays = 1;
        settings.own_book = 1;
        store_state(STATE_GO_WAITING);
    } else if (is("go") || is("an")) {
        analyse_command(words[1]);
    } else if (is("bd")) {
        show_board();
    } else if (is("self")) {
        settings.ponder = 0;
        self_play = 1;
        store_state(STATE_GO_WAITING);
    } else if (is("get")) {
        get_test_position(words[1]);
    } else if (is("pv")) {
        show_table_line();
    } else if (is("perft")) {
        run_perft(clamp_number(words[1], 1, 20, 1));
    } else if (is("trace")) {
        // Trace levels belonged to an older search; the command is kept
        // for scripts that send it.
    } else if (is("ev")) {
        evaluation_report();
    } else if (is("ev2")) {
        SearchThread& t = *thread_table[0];
        copy_root(t, *game_block);
        network_trace(t.pos, t.eval);
    } else if (is("sp")) {
        SearchThread& t = *thread_table[0];
        copy_root(t, *game_block);
        eval_trace(t.pos, t.eval, 2, console_qscore);
    } else if (is("lmr")) {
        build_search_tables();
        print_search_tables();
    } else if (is("undo") || is("[")) {
        if (take_back_move()) show_board();
    } else if (is("]")) {
        replay_recorded_move();
        show_board();
    } else if (is("test")) {
        print_key_history();
    } else if (is("load")) {
        engine_printf("loading %s, tag %s\n", words[1], words[2]);
        load_game(words[1], words[2]);
        if (game_block->game.depth < MAX_HISTORY) game_block->game.records[game_block->game.depth].move = 0;
        print_board(game_position());
        settings.time_left[WHITE] = settings.time_left[BLACK] = settings.base_time;
    } else if (is("save")) {
        save_game("tmp.pgn");
    } else if (is("jump")) {
        jump_to_move(clamp_number(words[1], 0, 10000, 0));
        print_board(game_position());
    } else if (is("edit")) {
        edit_board();
    } else if (is("book")) {
        book_probe(game_position(), settings.book_file, settings.book_variety);
        engine_print("");
        book_probe(game_position(), settings.book2_file, settings.book_variety);
        engine_print("");
    } else if (is("swap")) {
        print_exchanges();
    } else if (is("reverse")) {
        reverse_board();
        print_board(game_position());
    } else if (is("set")) {
        set_command(words[1], words[2], words[3], words[4]);
    } else if (is("move")) {
        play_text(words[1]);
    } else {
        play_text(cmd);
    }
}
