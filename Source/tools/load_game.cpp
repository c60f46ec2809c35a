#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../position/notation.h"
#include "../shell/game.h"
#include "../system/output.h"
#include "pgn_tools.h"

void load_game(const char* file_name, const char* tag) {
    if (!strstr(file_name, ".pgn") || strlen(tag) < 3) return;
    FILE* f = fopen(file_name, "r");
    if (!f) return;
    // The record lives as long as the process: its counter counts every
    // game loaded.
    static PgnGame record;
    PgnGame* game = &record;
    auto* text = static_cast<GameText*>(malloc(sizeof(GameText)));
    if (!text) {
        fclose(f);
        return;
    }
    clear_game_text(*text);
    char line[510];
    bool collecting = false, in_moves = false;
    while (fgets(line, sizeof line, f)) {
        const char* l = skip_bom(line);
        bool tag_line = l[0] == '[';
        if (!collecting) {
            if (!tag_line || !strstr(l, tag)) continue;
            collecting = true;
        } else if (tag_line && in_moves) {
            break;  // the next game's tags
        }
        if (!tag_line && l[strspn(l, " \t\r\n")]) in_moves = true;
        add_game_line(*text, l);
    }
    fclose(f);

    if (text->length > 20) {
        parse_pgn_game(*game, text->text);
        bool placed = strlen(game->start_fen) >= 11 ? set_game_position(game->start_fen) : set_game_position(start_fen);
        if (placed) {
            clear_game_record();
            for (int i = 0; i < game->move_count; i++) {
                char move[PGN_MOVE_CHARS + 8];
                snprintf(move, sizeof move, "%s", game->moves[i]);
                Move m;
                if (!parse_move(game_position(), move, m)) {
                    char fen[128];
                    get_fen(game_position(), fen, 0);
                    engine_printf("can't parse move %d. %s in game #%d  %s", i / 2 + 1, game->moves[i],
                                  game->game_counter, fen);
                    break;
                }
                play_game_move(m);
            }
        }
    }
    printf("read %d games\n\n", game->game_counter);
    free(text);
}
