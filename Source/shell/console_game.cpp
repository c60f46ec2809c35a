// The game record commands of the console: taking back, replaying,
// jumping, saving as PGN and fetching test positions.
#include <cstdio>
#include <cstring>
#include "../position/makemove.h"
#include "../position/movegen.h"
#include "../position/notation.h"
#include "../search/hash.h"
#include "../tools/epd.h"
#include "console.h"
#include "console_commands.h"
#include "game.h"
#include "../system/output.h"

namespace {

// The legal move of p that a recorded move stands for (make_move records
// castling in its own form); 0 when there is none, so a damaged record is
// never played onto the board.
Move legal_recorded_move(const Position& p, Move recorded) {
    if (!recorded || recorded == MOVE_END) return 0;
    MoveEntry list[MAX_MOVES];
    gen_all(p, list);
    for (MoveEntry* e = list; e->move != MOVE_END; e++) {
        Move m = e->move;
        if (move_from(m) != move_from(recorded) || !is_legal(p, p.side, m)) continue;
        if (m == recorded) return m;
        bool castle = (m & FLAG_MASK) && piece_type(p.board[move_from(m)]) == KING;
        if (castle && (m & FLAG_MASK) == (recorded & FLAG_MASK)) return m;
    }
    return 0;
}

Move recorded_move_here() {
    SearchThread& g = *game_block;
    if (g.game.depth >= MAX_HISTORY) return 0;
    return legal_recorded_move(g.pos, g.game.records[g.game.depth].move);
}

// Plays the recorded move without disturbing the record after it.
void replay(Move m) {
    SearchThread& g = *game_block;
    Move keep = g.game.depth + 1 < MAX_HISTORY ? g.game.records[g.game.depth + 1].move : 0;
    play_game_move(m);
    if (g.game.depth < MAX_HISTORY) g.game.records[g.game.depth].move = keep;
}

void san(const Position& p, Move m, char* out) {
    char f1[16], f3[16], f4[16];
    move_texts(p, m, f1, out, f3, f4);
}

}  // namespace

bool take_back_move() {
    if (game_ply() < 1) return false;
    unmake_move(game_position());
    return true;
}

void replay_recorded_move() {
    Move m = recorded_move_here();
    if (!m) return;
    char text[16];
    san(game_position(), m, text);
    int ply = game_ply();
    engine_printf("%d%s move %s", ply / 2 + 1, (ply & 1) ? "..." : ".", text);
    replay(m);
}

void jump_to_move(int n) {
    while (game_ply() > 0) unmake_move(game_position());
    while (game_ply() < 2 * n - 2) {
        Move m = recorded_move_here();
        if (!m) break;
        replay(m);
    }
}

void save_game(const char* file_name) {
    FILE* f = fopen(file_name, "a");
    if (!f) return;
    SearchThread& g = *game_block;
    int ply = g.game.depth;
    while (g.game.depth > 0) unmake_move(g.pos);
    fprintf(f, "[Event \"Unknown\"]\n");
    for (int i = 0; i < ply; i++) {
        Move m = legal_recorded_move(g.pos, g.game.records[g.game.depth].move);
        if (!m) break;
        char text[16];
        san(g.pos, m, text);
        fprintf(f, "%s ", text);
        if (i % 11 == 10) fprintf(f, "\n");
        replay(m);
    }
    fprintf(f, "\n\n");
    fclose(f);
}

void get_test_position(const char* id) {
    char wanted[100];
    snprintf(wanted, sizeof wanted, "id \"%.79s\"", id);
    FILE* f = fopen("test.epd", "r");
    if (!f) return;
    char line[512];
    bool found = false;
    while (fgets(line, sizeof line, f)) {
        line[strcspn(line, "\r\n")] = 0;
        if (line[0] == ' ' || line[0] == ';' || !strstr(line, wanted)) continue;
        found = true;
        break;
    }
    fclose(f);
    if (!found) {
        engine_print("");
        return;
    }
    engine_print(line);
    if (strlen(line) > 8) {
        EpdFields* fields = new EpdFields;
        if (parse_epd_line(line, *fields) && set_game_position(fields->fen)) clear_game_record();
        delete fields;
    }
    print_board(game_position());
    clear_hash();
}
