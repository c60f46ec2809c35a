// -quiettraindata: keeps the records whose position is quiet for the
// evaluation in use: the side to move is not in check and the root
// quiescence search gains at most 50 over the static score. A position
// with a capture pending is scored by the search as if the capture had
// been made, which a static evaluation cannot see; trained on such
// positions, a network learns a blurred value of material.
#include <cstdio>
#include <cstring>
#include "../position/attacks.h"
#include "../search/hash.h"
#include "../search/search.h"
#include "../search/search_control.h"
#include "../search/strength.h"
#include "../search/thread.h"
#include "../shell/game.h"
#include "../shell/settings.h"
#include "../shell/uci.h"
#include "training_data.h"
#include "training_tools.h"

bool quiet_root(int static_value, int quiet_value) {
    return static_value >= -2999 && quiet_value - static_value <= 50;
}

void quiet_train_data(const char* bin_file) {
    EngineSettings& s = settings;
    if (!strstr(bin_file, ".bin")) return;
    if (read_training_file(bin_file) != 0) return;
    FILE* out = fopen("quiet.bin", "wb");
    if (!out) {
        release_training_file();
        return;
    }
    printf("keeping the quiet positions of %s\n", bin_file);
    // The root values only: a one-ply search without the table, so that
    // earlier records do not change the verdict on later ones.
    quiet_full_strength();
    hash_use = 0;
    int64_t written = 0;
    for (int64_t i = 0; i < training_count && !s.quit_requested; i++) {
        const TrainingRecord& r = training_records[i];
        char fen[100];
        record_fen(r, fen);
        if (!set_game_position(fen)) continue;
        clear_game_record();
        const Position& p = game_position();
        if (side_to_move_in_check(p)) continue;
        SearchLimits limits = game_level_limits();
        limits.max_depth = 1;
        start_search(STATE_FIXED, false, limits);
        store_state(0);
        if (!quiet_root(search_result.root_eval, search_result.root_qscore)) continue;
        fwrite(&r, sizeof r, 1, out);
        written++;
    }
    fclose(out);
    printf("wrote %lld of %lld positions to quiet.bin\n", (long long)written, (long long)training_count);
    release_training_file();
}
