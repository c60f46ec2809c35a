#include "uci.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "../book/book_probe.h"
#include "../position/makemove.h"
#include "../position/movegen.h"
#include "../position/notation.h"
#include "../search/hash.h"
#include "../search/search_control.h"
#include "../search/search_tables.h"
#include "console.h"
#include "game.h"
#include "input.h"
#include "options.h"
#include "search_output.h"
#include "../system/output.h"
#include "settings.h"

const char* const engine_name = "Vorn 7.14";
const char* const engine_author = "Rell Ostrand";

constexpr int WORD_SIZE = 255;
constexpr int WORD_CHARS = 127;

// The search limits the session started with, restored at every go.
static int16_t session_max_depth = 80;
static int64_t session_max_nodes = NO_NODE_LIMIT;

uint8_t end_of_input_quits = 1;

static LineReader stdin_reader = {0, 0, false, false, {}};

// A command that changes the engine's state (position, go, setoption,
// ucinewgame) while a search runs stops that search; it waits here and is
// carried out once the search's bestmove is out.
// Empty when no command waits (an empty line is never a command).
static std::string deferred_line;
// The go in progress was "go infinite": its result waits for stop.
static bool infinite_go = false;
// The limits of the last go: its clock as the session's clock stands after
// it, and its restrictions.
static SearchLimits go_limits;

const SearchLimits& last_go_limits() { return go_limits; }

void read_command() {
    // One buffer for the process's only input line, not 2 MiB of stack.
    static char line[LINE_SIZE];
    int r = poll_line(stdin_reader, line, sizeof line);
    if (r < 0) {
        // Nobody can send quit once the input is gone, so the end of input
        // stands for it, except for the tools, which run without any.
        if (end_of_input_quits) settings.quit_requested = 1;
        return;
    }
    if (r == LINE_TOO_LONG) {
        engine_printf("info string input line longer than %d bytes ignored", LINE_SIZE - 1);
        return;
    }
    if (r > 0) handle_line(line);
}

int read_input_line(char* out, int size) {
    for (;;) {
        int r = poll_line(stdin_reader, out, size);
        if (r != 0) return r;
        sleep_ms(1);
    }
}

// Copies the next blank-separated word (at most 127 characters) and
// returns the text one character after it.
static const char* take_word(const char* s, char* word) {
    while (*s == ' ') s++;
    int n = 0;
    for (; *s && *s != ' ' && *s != '\r' && *s != '\n'; s++)
        if (n < WORD_CHARS) word[n++] = *s;
    word[n] = 0;
    return *s ? s + 1 : s;
}

static Move legal_move_from_text(const Position& p, const char* w);

static void go_command(const char* rest) {
    EngineSettings& s = settings;
    int side = game_position().side;
    char word[WORD_SIZE];
    auto find = [&](const char* key) {
        const char* k = strstr(rest, key);
        if (!k) return false;
        take_word(k + strlen(key), word);
        return true;
    };
    auto seconds = [&]() { return atof(word) / 1000.0; };

    // A go with a fixed limit (depth, nodes, movetime, infinite) set the
    // mover's clock to that limit's time, up to 10 000 000 s.
    const bool clock_was_fixed = s.moves_per_control == 1;
    s.moves_per_control = 0;
    // Limits of an earlier go (depth, nodes) do not carry over to this one;
    // those given on the command line stay.
    s.max_depth = session_max_depth;
    s.max_nodes = session_max_nodes;
    bool clock_given = false;
    if (find("wtime")) s.time_left[WHITE] = float(seconds() < 0 ? 0 : seconds()), clock_given = true;
    if (find("btime")) s.time_left[BLACK] = float(seconds() < 0 ? 0 : seconds()), clock_given = true;
    // Nor does its clock: a go without one plays on the new-game clock.
    if (clock_was_fixed && !clock_given) {
        s.time_left[WHITE] = s.time_left[BLACK] = 60.0f;
        s.increment = 0;
    }
    if (find("winc") && side == WHITE) s.increment = float(seconds());
    if (find("binc") && side == BLACK) s.increment = float(seconds());
    if (find("movestogo")) {
        s.max_depth = 80;
        s.moves_per_control = 40;
        s.max_nodes = NO_NODE_LIMIT;
        long long n = strtoll(word, nullptr, 10);
        s.moves_to_go = int16_t(n < 0 ? 0 : n > 32767 ? 32767 : n);
    }
    if (find("depth")) {
        long long n = strtoll(word, nullptr, 10);
        s.max_depth = int16_t(n < 0 ? 0 : n < 80 ? n : 80);
        s.moves_per_control = 1;
        s.base_time = 10000000.0f;
    }
    if (find("nodes")) {
        long long n = strtoll(word, nullptr, 10);
        s.max_nodes = n < 0 ? 0 : n;
        s.moves_per_control = 1;
        s.base_time = 10000000.0f;
    }
    if (find("movetime")) {
        s.moves_per_control = 1;
        s.base_time = float(seconds());
        s.increment = 0;
    }
    infinite_go = find("infinite");
    if (infinite_go) {
        s.max_depth = 80;
        s.moves_per_control = 1;
        s.max_nodes = NO_NODE_LIMIT;
        s.base_time = 10000000.0f;
        s.increment = 0;
    }
    // go mate N: search until a mate in N moves is proven. Without a clock
    // or depth of its own it has no time limit, and its depth is capped a
    // few plies past the mate's length so that a position without such a
    // mate still gets its answer.
    SearchLimits& r = go_limits;
    r.mate_moves = 0;
    if (find("mate")) {
        long long n = strtoll(word, nullptr, 10);
        r.mate_moves = int(n < 1 ? 1 : n > 30 ? 30 : n);
        if (!clock_given && !strstr(rest, "movetime") && !strstr(rest, "nodes")) {
            s.moves_per_control = 1;
            s.base_time = 10000000.0f;
            s.increment = 0;
        }
        if (!strstr(rest, "depth")) s.max_depth = int16_t(std::min(80, 2 * r.mate_moves + 6));
    }
    // searchmoves closes the command: every word after it that names a
    // legal move restricts the root to those moves; none, no restriction.
    r.root_move_count = 0;
    if (const char* list = strstr(rest, "searchmoves")) {
        char move_word[WORD_SIZE];
        for (const char* w = take_word(list + strlen("searchmoves"), move_word); move_word[0];
             w = take_word(w, move_word)) {
            const Move m = legal_move_from_text(game_position(), move_word);
            bool listed = false;
            for (int i = 0; i < r.root_move_count; i++) listed |= r.root_moves[i] == m;
            if (m && !listed && r.root_move_count < MAX_MOVES) r.root_moves[r.root_move_count++] = m;
        }
    }
    // The clock and the depth and node limits as the session now has them.
    apply_level(s, side, game_ply(), r);
    if (find("ponder")) {
        store_state(STATE_PONDER_WAITING);
        return;
    }
    store_state(STATE_GO_WAITING);
}

static void setoption_command(const char* rest) {
    char name[129] = "", value[201] = "";
    const char* n = strstr(rest, "name");
    if (n) {
        const char* v = strstr(rest, "value");
        const char* start = n[4] ? n + 5 : n + 4;
        const char* end = start + strlen(start);
        if (v && v > n) end = v - 1 > start ? v - 1 : start;
        int len = int(end - start);
        snprintf(name, sizeof name, "%.*s", len, start);
        if (v) snprintf(value, sizeof value, "%s", v[5] ? v + 6 : v + 5);
    }
    set_option(name, value);
    saved_settings = current_settings();
}

static void ucinewgame_command() {
    EngineSettings& s = settings;
    s.moves_per_control = 0;
    clear_game_record();
    s.time_left[WHITE] = s.time_left[BLACK] = 60.0f;
    s.base_time = 60.0f;
    s.increment = 0;
    clear_hash();
}

// Finds the legal move of p that a coordinate text names (e2e4, e7e8q,
// castling as e1g1 or as king takes own rook, e1h1); 0 when it names none.
static Move legal_move_from_text(const Position& p, const char* w) {
    size_t len = strlen(w);
    if (len != 4 && len != 5) return 0;
    if (w[0] < 'a' || w[0] > 'h' || w[1] < '1' || w[1] > '8') return 0;
    if (w[2] < 'a' || w[2] > 'h' || w[3] < '1' || w[3] > '8') return 0;
    int from = square_of(w[0] - 'a', w[1] - '1'), to = square_of(w[2] - 'a', w[3] - '1');
    int us = p.side, back = us == WHITE ? 0 : 7;

    Move castle = 0;
    if (p.board[from] == make_piece(us, KING) && rank_of(from) == back && rank_of(to) == back) {
        int distance = abs(file_of(to) - file_of(from));
        if (distance > 1 || p.board[to] == make_piece(us, ROOK)) castle = to > from ? FLAG_KS : FLAG_QS;
    }
    Move promo = 0;
    if (len == 5) {
        switch (w[4]) {
            case 'q': promo = PROMO_Q; break;
            case 'n': promo = PROMO_N; break;
            case 'b': promo = PROMO_B; break;
            case 'r': promo = PROMO_R; break;
            default: return 0;
        }
        if (castle) return 0;
    }

    MoveEntry list[MAX_MOVES];
    gen_all(p, list);
    for (MoveEntry* e = list; e->move != MOVE_END; e++) {
        Move m = e->move;
        if (move_from(m) != from || !is_legal(p, us, m)) continue;
        bool is_castle = (m & FLAG_MASK) && piece_type(p.board[from]) == KING;
        if (castle) {
            if (!is_castle || (m & (FLAG_KS | FLAG_QS)) != castle) continue;
            int right = us * 2 + (castle == FLAG_QS ? 1 : 0);
            if (to == move_to(m) || to == p.castle_rook[right]) return m;
            continue;
        }
        if (is_castle || move_to(m) != to) continue;
        Move flags = m & FLAG_MASK;
        // A promotion without its letter is taken as a queen promotion.
        if (flags == promo || (len == 4 && flags == PROMO_Q)) return m;
    }
    return 0;
}

static void position_command(const char* rest) {
    std::string text_copy = rest, moves_copy;
    char* text = text_copy.data();
    char* m = strstr(text, "moves");
    if (m) {
        moves_copy = m[5] ? m + 6 : m + 5;
        *(m > text ? m - 1 : m) = 0;
    }
    char* moves = moves_copy.data();
    if (strstr(text, "startpos")) {
        set_game_position(start_fen);
    } else if (const char* f = strstr(text, "fen")) {
        f += 3;
        while (*f == ' ') f++;
        if (!set_game_position(f)) {
            // The board stays as it was; the front end is told why.
            engine_printf("info string illegal FEN %s, position unchanged", f);
            return;
        }
    } else {
        return;
    }
    if (!m) return;
    char* save = nullptr;
    for (char* w = strtok_r(moves, " ", &save); w; w = strtok_r(nullptr, " ", &save)) {
        Move mv = legal_move_from_text(game_position(), w);
        if (!mv) {
            // Playing a move that is not legal here would corrupt the board;
            // the moves after it cannot be meant for this position either.
            engine_printf("info string illegal move %s", w);
            break;
        }
        play_game_move(mv);
    }
    if (game_block->game.depth < MAX_HISTORY) game_block->game.records[game_block->game.depth].move = 0;
}

static void uci_command() {
    output_mode.uci_mode = 1;
    engine_printf("id name %s", engine_name);
    engine_printf("id author %s", engine_author);
    announce_options();
    engine_print("uciok");
}

static void protocol_command(const char* line) {
    if (command_echo && settings.log) {
        const std::string echo = std::string("CMD: ") + line;
        log_write(echo.c_str());
    }
    char word[WORD_SIZE];
    const char* rest = take_word(line, word);
    auto is = [&word](const char* command) { return strcmp(word, command) == 0; };

    if (is("uci")) return uci_command();
    if (is("isready")) return engine_print("readyok");
    if (is("debug")) {
        command_echo = 1;
        return;
    }
    if (is("_show")) {
        build_search_tables();
        print_search_tables();
        return;
    }
    if (is("ponderhit")) {
        if (load_state() & STATE_PONDER) {
            clear_state_bits(STATE_PONDER);
            add_state(STATE_NORMAL);
        }
        return;
    }
    if (is("stop")) {
        if (load_state() != 0) {
            add_state(STATE_STOP_REQUESTED);
            stop_search.store(1, std::memory_order_relaxed);
        }
        return;
    }
    if (is("quit")) {
        settings.quit_requested = 1;
        return;
    }
    bool needs_idle = is("setoption") || is("ucinewgame") || is("position") || is("go");
    if (!needs_idle) return;
    if (load_state() != 0) {
        // A front end in a hurry: the search ends now with its bestmove,
        // then the command is carried out. The search stops reading input
        // once asked to stop, so only one command ever waits.
        deferred_line = line;
        clear_state_bits(STATE_PONDER);
        add_state(STATE_STOP_REQUESTED);
        stop_search.store(1, std::memory_order_relaxed);
        return;
    }
    if (is("setoption")) setoption_command(rest);
    else if (is("ucinewgame")) ucinewgame_command();
    else if (is("position")) position_command(rest);
    else go_command(rest);
}

void handle_line(const char* text) {
    std::string copy(text, strcspn(text, "\r\n"));
    char* line = copy.data();
    if (!line[0]) return;
    if (output_mode.uci_mode == 1 || strcmp(line, "uci") == 0) protocol_command(line);
    else console_command(line);
    // Options, the console's settings and "uci" may change how moves read.
    sync_notation_style();
}

struct MoveText {
    char text[16];
};
static MoveText move_text(const Position& p, Move m) {
    MoveText t;
    move_to_text(p, p.side, m, t.text);
    return t;
}

// A move from the first book while the game is short enough for it, else
// from the second; 0 without one, or when the move would run into a draw
// by the fifty-move rule or repetition.
static Move try_books(Position& p, const SearchLimits& limits) {
    const EngineSettings& s = settings;
    int ply = game_ply();
    if (!s.own_book || ply > 79) return 0;
    // A go that restricts the root or asks for a mate wants a search.
    if (limits.root_move_count || limits.mate_moves) return 0;
    Move m = 0;
    if (ply < s.book_depth) m = book_probe(p, s.book_file, s.book_variety);
    if (!m && ply < s.book2_depth) m = book_probe(p, s.book2_file, s.book_variety);
    if (!m) return 0;
    make_move(p, m);
    bool drawn = is_draw(p, 0, 0);
    unmake_move(p);
    return drawn ? 0 : m;
}

// "go infinite" keeps its result until stop, as pondering keeps it until
// ponderhit or stop, even when the search ended by itself (a mate found,
// the depth limit, a book or table move).
static void hold_result(bool pondering) {
    for (;;) {
        const uint16_t state = load_state();
        if ((state & STATE_STOP_REQUESTED) || settings.quit_requested) return;
        if (pondering ? !(state & STATE_PONDER) : !infinite_go) return;
        read_command();
        sleep_ms(1);
    }
}

static void start_go(uint16_t state) {
    Position& p = game_position();
    if (is_draw(p, 0, 0)) {
        engine_print("info string Draw!");
        // A front end still needs its bestmove: the console's own games end
        // here, a protocol go searches the drawn position as any other.
        if (!output_mode.uci_mode) {
            store_state(0);
            self_play = 0;
            return;
        }
    }
    search_result.best_move = search_result.ponder_move = search_result.book_move = 0;
    search_result.depth = 0;
    search_result.score = 0;
    uint16_t mode = state == STATE_GO_WAITING ? STATE_NORMAL : STATE_PONDER;
    // The protocol's go brought its limits; the console plays to its level.
    const SearchLimits limits = output_mode.uci_mode ? go_limits : game_level_limits();
    if (mode == STATE_NORMAL) {
        Move m = try_books(p, limits);
        if (m) {
            engine_printf("%s book move is %s", output_mode.uci_mode ? "info string" : "", move_text(p, m).text);
            search_result.score = 0;
            // No search ran: nothing of the last one's time may be charged to the clock.
            search_result.elapsed = 0;
            search_result.nodes = 0;
            stop_search.store(1, std::memory_order_relaxed);
            search_result.book_move = search_result.best_move = m;
            add_state(STATE_RESULT_READY);
            hold_result(false);
            return;
        }
    }
    start_search(mode, true, limits);
    // A pondering search that ended on its own keeps its result until the
    // front end says whether its guess was right.
    hold_result(true);
    hold_result(false);
}

static void report_result() {
    EngineSettings& s = settings;
    store_state(0);
    Position& p = game_position();
    int side = p.side;
    char move[16] = "0000", ponder[32] = "";
    if (search_result.best_move) {
        move_to_text(p, side, search_result.best_move, move);
        if (search_result.ponder_move) {
            char text[16];
            make_move(p, search_result.best_move);
            move_to_text(p, p.side, search_result.ponder_move, text);
            unmake_move(p);
            snprintf(ponder, sizeof ponder, " ponder %s", text);
        }
    }
    if (output_mode.uci_mode) {
        if (search_result.elapsed < 0.006f && s.time_left[side] > 1.0f) sleep_ms(1);
        engine_printf("bestmove %s%s", move, ponder);
    } else {
        searched_key = p.key;
        searched_side = p.side;
        double nps = double(search_result.nodes) / (search_result.elapsed + 0.002) / 1000;
        engine_printf("move= %s, time= %0.3f, score= %d, nodes= %0.0f, nps= %0.0fK ebf= %0.2f", move,
                      search_result.elapsed, search_result.score, double(search_result.nodes), nps, effective_branching_factor());
        print_table_counters();
    }
    s.time_left[side] += s.increment - search_result.elapsed;
    if (s.moves_per_control > 1 && game_ply() % (2 * s.moves_per_control) < 2) s.time_left[side] = s.base_time;
    if (search_result.best_move) {
        make_move(p, search_result.best_move);
        if (is_draw(p, 0, 0)) engine_print("info string Draw!");
        unmake_move(p);
    }
    if (engine_plays || self_play) {
        if (!search_result.best_move) {
            engine_plays = self_play = 0;
        } else {
            play_game_move(search_result.best_move);
            print_board(p);
            if (self_play) store_state(STATE_GO_WAITING);
        }
    }
}

void driver_loop() {
    session_max_depth = settings.max_depth;
    session_max_nodes = settings.max_nodes;
    set_game_position(start_fen);
    if (!output_mode.uci_mode) print_board(game_position());
    settings.quit_requested = 0;
    stop_search.store(0, std::memory_order_relaxed);
    store_state(0);
    while (!settings.quit_requested) {
        uint16_t state = load_state();
        if (state & (STATE_GO_WAITING | STATE_PONDER_WAITING)) start_go(state);
        if (load_state() & STATE_RESULT_READY) {
            report_result();
            infinite_go = false;
        }
        if (!deferred_line.empty() && !(load_state() & 0xF0)) {
            std::string line;
            line.swap(deferred_line);
            handle_line(line.c_str());
            continue;
        }
        if (!(load_state() & 0xF0)) {
            read_command();
            if (settings.quit_requested) break;
            sleep_ms(1);
        }
    }
}
