#include "settings.h"
#include <cstring>
#include "../position/notation.h"
#include "../search/search_control.h"
#include "../search/strength.h"

EngineSettings settings;
SavedSettings saved_settings;

SavedSettings current_settings() {
    return {settings, search_options, eval_options, tb_options, output_mode.noise};
}

void restore_settings(const SavedSettings& saved) {
    settings = saved.shell;
    search_options = saved.search;
    eval_options = saved.eval;
    tb_options = saved.tb;
    output_mode.noise = saved.noise;
}

void apply_level(const EngineSettings& s, int side, int game_ply, SearchLimits& l) {
    l.moves_per_control = s.moves_per_control;
    l.moves_to_go = 0;
    if (s.moves_per_control > 1) {
        // The protocol says how many moves are left in the period; the
        // console counts them from the game's plies.
        const int c = s.moves_per_control, n = game_ply;
        l.moves_to_go = output_mode.uci_mode ? s.moves_to_go : int16_t(c * (n / (2 * c) + 1) - n / 2);
    }
    l.base_time = s.base_time;
    l.time_left = s.time_left[side];
    l.increment = s.increment;
    l.move_overhead = s.move_overhead;
    l.ponder = s.ponder != 0;
    l.max_nodes = s.max_nodes;
    l.node_check = s.node_check;
    l.max_depth = s.max_depth;
    l.stop_depth = s.stop_depth;
}

SearchLimits level_limits(const EngineSettings& s, int side, int game_ply) {
    SearchLimits l;
    apply_level(s, side, game_ply, l);
    return l;
}

void set_default_settings() {
    EngineSettings& s = settings;
    memset(&s, 0, sizeof s);
    s.quit_requested = 0;
    s.analysis_debug = 0;
    s.train_weight = 0.0f;
    s.node_check = NO_NODE_LIMIT;
    s.max_nodes = NO_NODE_LIMIT;
    s.stop_depth = 80;
    s.max_depth = 80;
    s.moves_per_control = 1;
    s.moves_to_go = 0;
    s.base_time = 5.0f;
    s.increment = 0.0f;
    s.time_left[0] = s.time_left[1] = 5.0f;
    s.hash_mb = 64;
    s.move_overhead = 50;
    s.ponder = 0;
    s.chess960 = 0;
    s.opponent_elo = 0;
    s.log = 0;
    s.own_book = 1;
    s.book_variety = 25;
    s.book_depth = 24;
    s.book2_depth = 0;
    strcpy(s.nn_file, "embedded");
    s.config_file[0] = 0;
    strcpy(s.book_file, "vorn_book.bin");
    s.book2_file[0] = 0;
    s.syzygy_path[0] = 0;

    // The Elo stays 0 until the calibration or the user sets it.
    search_options = DEFAULT_SEARCH_OPTIONS;
    eval_options = DEFAULT_EVAL_OPTIONS;
    tb_options = DEFAULT_TB_OPTIONS;
    output_mode = {1, 0.0f};
    target_nps = 0;
    search_state.store(0, std::memory_order_relaxed);
    stop_search.store(0, std::memory_order_relaxed);
    sync_notation_style();
}

void sync_notation_style() {
    notation_style.chess960 = settings.chess960 != 0;
    notation_style.protocol = output_mode.uci_mode != 0;
}
