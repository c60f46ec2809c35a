// Console commands that look at or rebuild the board: the editor,
// mirroring, the exchange list, the key history and the table's line.
#include <cstdio>
#include <cstring>
#include "../position/attacks.h"
#include "../position/makemove.h"
#include "../position/notation.h"
#include "../position/see.h"
#include "../search/hash.h"
#include "../search/search_control.h"
#include "../tools/board_text.h"
#include "console.h"
#include "console_commands.h"
#include "game.h"
#include "../system/output.h"
#include "uci.h"

namespace {

// Sets the game position from a plain board; the game record starts again.
void place_board(const uint8_t codes[64], int side, int castle) {
    char fen[100];
    board_to_fen(codes, side, castle, NO_SQ, fen);
    if (!set_game_position(fen)) engine_print("invalid FEN");
    clear_game_record();
}

int piece_of_letter(char c) {
    const char* letters = "PNBRQK";
    const char* hit = strchr(letters, c >= 'a' && c <= 'z' ? c - 32 : c);
    return c && hit ? int(hit - letters) + PAWN : 0;
}

}  // namespace

void edit_board() {
    engine_print("\n");
    engine_print(".                    end edit");
    engine_print("#                    clear board");
    engine_print("w  Pa2 Pb2 Kc2       white, pieces");
    engine_print("b  Pa7 Pb7 Kc7       black, pieces");
    uint8_t codes[64];
    memcpy(codes, game_position().board, sizeof codes);
    int side = game_position().side;
    char line[78];
    while (read_input_line(line, sizeof line) > 0 && line[0] != '.') {
        if (line[0] == '#') {
            memset(codes, 0, sizeof codes);
            continue;
        }
        char* save = nullptr;
        char* word = strtok_r(line, " \t", &save);
        if (!word || (strcmp(word, "w") != 0 && strcmp(word, "b") != 0)) continue;
        side = word[0] == 'w' ? WHITE : BLACK;
        for (word = strtok_r(nullptr, " \t", &save); word; word = strtok_r(nullptr, " \t", &save)) {
            int type = piece_of_letter(word[0]);
            // Anything but a piece letter and a square on the board is skipped.
            if (!type || strlen(word) != 3 || word[1] < 'a' || word[1] > 'h' || word[2] < '1' || word[2] > '8') continue;
            codes[square_of(word[1] - 'a', word[2] - '1')] = uint8_t(make_piece(side, type));
        }
    }
    place_board(codes, side, CASTLE_WK | CASTLE_WQ | CASTLE_BK | CASTLE_BQ);
    print_board(game_position());
}

void reverse_board() {
    const Position& p = game_position();
    uint8_t codes[64];
    for (int sq = 0; sq < 64; sq++) {
        int code = p.board[sq ^ 56];
        codes[sq] = uint8_t(code ? code ^ 8 : 0);
    }
    place_board(codes, p.side ^ 1, 0);
}

void print_exchanges() {
    const Position& p = game_position();
    for (int sq = 0; sq < 64; sq++) {
        int code = p.board[sq];
        if (!code) continue;
        int attacker = piece_colour(code) ^ 1;
        if (!is_attacked(p, sq, attacker)) continue;
        engine_printf("sq= %s, swap1= %4d", square_names[sq], see_move(p, attacker, NO_SQ, sq));
    }
}

void print_key_history() {
    const SearchThread& g = *game_block;
    uint64_t key = g.pos.key;
    engine_printf("%x", unsigned(key));
    for (int i = g.game.depth - 1; i >= 0; i--)
        engine_printf("%x%s", unsigned(g.game.records[i].key), g.game.records[i].key == key ? " repetition" : "");
}

void show_table_line() {
    Position& p = game_position();
    char line[76 * 12 + 8] = "";
    int played = 0;
    while (played < 76) {
        HashHit hit;
        Move m = probe(p, hit) ? hit.move : 0;
        if (!m && played == 0 && p.key == searched_key && p.side == searched_side) m = search_result.best_move;
        if (!m || hash_move_problem(p, m) != 0) break;
        char f1[16], f2[16], f3[16], f4[16];
        move_texts(p, m, f1, f2, f3, f4);
        if (played) strcat(line, " ");
        strcat(line, f2);
        make_move(p, m);
        played++;
        if (is_draw(p, 0, 0)) break;
    }
    engine_printf("PV: %s\n", line);
    print_board(p);
    while (played-- > 0) unmake_move(p);
}
