// -scoretraindata: re-scores EPD training lines with a short search at
// the end of the line's principal variation.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../position/attacks.h"
#include "../pyrrhic/tablebase.h"
#include "../search/hash.h"
#include "../search/search.h"
#include "../search/search_control.h"
#include "../search/strength.h"
#include "../shell/game.h"
#include "../shell/settings.h"
#include "../shell/uci.h"
#include "epd.h"
#include "training_data.h"
#include "training_tools.h"

namespace {

bool is_capture(const Position& p, Move m) {
    bool castle = (m & FLAG_MASK) && piece_type(p.board[move_from(m)]) == KING;
    if (castle) return false;
    return p.board[move_to(m)] != 0 || (piece_type(p.board[move_from(m)]) == PAWN && move_to(m) == p.ep_square);
}

}  // namespace

void score_train_data(const char* epd_in, const char* epd_out) {
    EngineSettings& s = settings;
    if (!strstr(epd_in, ".epd") || !strstr(epd_out, ".epd")) return;
    FILE* in = fopen(epd_in, "r");
    if (!in) return;
    FILE* out = fopen(epd_out, "w");
    if (!out) {
        fclose(in);
        return;
    }
    quiet_full_strength();
    if (s.max_depth < 3) hash_use = 0;
    end_of_input_quits = 0;
    auto* f = new EpdFields;
    char line[512];
    while (fgets(line, sizeof line, in) && !s.quit_requested) {
        if (!strchr(line, '\n')) {
            int c;
            while ((c = fgetc(in)) != EOF && c != '\n') {
            }
        }
        if (line[0] == ' ' || line[0] == '#' || line[0] == ';') continue;
        if (!parse_epd_line(line, *f) || !set_game_position(f->fen)) {
            fputs(line, stdout);
            continue;
        }
        clear_game_record();
        bool has_gr = f->gr[0] != 0;
        int ce = f->ce[0] ? atoi(f->ce) : 0;
        double gr = has_gr ? atof(f->gr) : 0.5;
        if (side_to_move_in_check(game_position())) continue;
        if (hash_use) clear_hash();

        // The line the short search finds leads to a quieter position.
        search_fixed(2);
        Move line_moves[MAX_PLY + 2];
        int n = 0;
        for (int i = 1; i <= MAX_PLY && search_result.pv[i]; i++) line_moves[n++] = search_result.pv[i];
        for (int i = 0; i < n; i++) {
            if (hash_move_problem(game_position(), line_moves[i]) != 0) break;
            play_game_move(line_moves[i]);
            ce = -ce;
            gr = 1 - gr;
        }
        if (side_to_move_in_check(game_position())) continue;
        search_fixed(-1);
        if (!search_result.best_move || is_capture(game_position(), search_result.best_move)) continue;
        if (search_result.root_qscore - search_result.root_eval > 50) continue;
        int score = search_result.score;
        int tb = search_result.tb_result;
        if (tb != TB_NONE) score = tb == TB_WIN ? 6000 : tb == TB_LOSS ? -6000 : 0;
        if (std::fabs(score_to_probability(search_result.root_eval) - score_to_probability(score)) > 0.3) continue;
        char fen[128];
        get_fen(game_position(), fen, 0);
        if (!has_gr) {
            fprintf(out, "%s sc %d;\n", fen, score);
        } else {
            if (std::fabs(score_to_probability(score) - gr) >= 0.5) continue;
            fprintf(out, "%s ce %d; sc %d; gr %0.1f;\n", fen, ce, score, gr);
        }
    }
    delete f;
    fclose(in);
    fclose(out);
    end_of_input_quits = 1;
}
