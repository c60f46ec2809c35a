#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../position/makemove.h"
#include "../position/notation.h"
#include "../search/thread.h"
#include "../system/output.h"
#include "pgn_tools.h"

namespace {

// Replays one game and writes its scored quiet positions: from ply 16 of
// a standard game (ply 4 after a FEN), leaving out the last two moves and
// drawn positions that every score calls level.
void convert_game(const PgnGame& g, SearchThread& block, FILE* out) {
    Position& p = block.pos;
    bool from_fen = strlen(g.start_fen) >= 11;
    // A FEN the board refuses would leave no sound position to play on.
    if (set_fen(p, from_fen ? g.start_fen : start_fen) != 0) return;
    double white = g.result == 1 ? 1.0 : g.result == -1 ? 0.0 : 0.5;
    int first = from_fen ? 4 : 16;
    int mean = 0;
    for (int i = 0; i < g.move_count - 2 && i < 240; i++) {
        int e = g.scores[i];
        double r = p.side == WHITE ? white : 1.0 - white;
        mean = (15 * mean + e) / 16;
        char move[PGN_MOVE_CHARS + 8];
        snprintf(move, sizeof move, "%s", g.moves[i]);
        Move m;
        char fen[128];
        get_fen(p, fen, 0);
        if (!parse_move(p, move, m)) {
            engine_printf("can't parse move %d. %s in game #%d  %s", i / 2 + 1, g.moves[i], g.game_counter, fen);
            return;
        }
        bool capture = p.board[move_to(m)] != 0 ||
                       (piece_type(p.board[move_from(m)]) == PAWN && move_to(m) == p.ep_square);
        bool level = r == 0.5 && abs(e) <= 39 && abs(mean) <= 39;
        if (i >= first && !capture && !level) fprintf(out, "%s ce %d; gr %0.1f;\n", fen, e, r);
        make_move(p, m);
    }
}

}  // namespace

int scan_pgn_file(const char* pgn_name, const char* epd_name) {
    if (!strstr(pgn_name, ".pgn") || !strstr(epd_name, ".epd")) return -1;
    FILE* in = fopen(pgn_name, "r");
    if (!in) return -1;
    FILE* out = fopen(epd_name, "w");
    if (!out) {
        fclose(in);
        return -1;
    }
    auto* text = static_cast<GameText*>(malloc(sizeof(GameText)));
    auto* game = static_cast<PgnGame*>(calloc(1, sizeof(PgnGame)));
    auto* block = static_cast<SearchThread*>(calloc(1, sizeof(SearchThread)));
    if (!text || !game || !block) {
        free(text);
        free(game);
        free(block);
        fclose(in);
        fclose(out);
        return -1;
    }
    attach_position(*block);
    setup_move_lists(*block);
    clear_game_text(*text);
    char line[510];
    bool last_was_tag = false;
    while (fgets(line, sizeof line, in)) {
        const char* l = skip_bom(line);
        bool blank = !l[strspn(l, " \t\r\n")];
        bool tag = l[0] == '[';
        // Blank lines neither start nor end a tag section: an empty line
        // among the tags must not cut a game in two.
        if (tag && !last_was_tag && text->length) {
            parse_pgn_game(*game, text->text);
            convert_game(*game, *block, out);
            clear_game_text(*text);
        }
        if (!blank) last_was_tag = tag;
        add_game_line(*text, l);
    }
    if (text->length) {
        parse_pgn_game(*game, text->text);
        convert_game(*game, *block, out);
    }
    fclose(in);
    fclose(out);
    int games = game->game_counter;
    printf("\nread %d games\n\n", games);
    free(text);
    free(game);
    free(block);
    return games;
}

