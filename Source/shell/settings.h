// The shell's settings: the clock level, the protocol's last go inputs,
// the files and the book; and the snapshot of every option record, which
// the console restores and the option list announces as defaults.
#pragma once
#include <cstdint>
#include "../eval/evaluate.h"
#include "../pyrrhic/tablebase.h"
#include "../search/search_limits.h"
#include "../search/search_options.h"
#include "../system/output.h"

struct EngineSettings {
    uint8_t quit_requested;
    uint8_t analysis_debug;
    float train_weight;  // -tw: noise added to the weights of a network file read
    int64_t node_check;
    int64_t max_nodes;
    int16_t stop_depth;
    int16_t max_depth;
    int16_t moves_per_control;
    int16_t moves_to_go;
    float base_time;
    float increment;
    float time_left[2];
    int32_t hash_mb;
    int16_t move_overhead;
    int16_t ponder;
    uint8_t chess960;
    int16_t opponent_elo;
    uint8_t log;
    uint8_t own_book;
    uint8_t book_variety;
    uint8_t book_depth;
    uint8_t book2_depth;
    char nn_file[150];
    char config_file[144];
    char book_file[144];
    char book2_file[144];
    char syzygy_path[144];
};

extern EngineSettings settings;

// What an option or a switch can set, in all its records.
struct SavedSettings {
    EngineSettings shell;
    SearchOptions search;
    EvalOptions eval;
    TablebaseOptions tb;
    float noise;
};
extern SavedSettings saved_settings;
SavedSettings current_settings();
// Puts every record back as saved. The protocol mode is not among them;
// the quit flag is, so a caller that must keep it saves it first.
void restore_settings(const SavedSettings& saved);

void set_default_settings();
// Sets the clock, node and depth limits of l from the settings' level (the
// console's clock, the protocol's last go, the command line's -t, -d, -n,
// -md and -mn) for the side to move after game_ply plies of the game; the
// go restrictions (mate, searchmoves) stay as they are.
void apply_level(const EngineSettings& s, int side, int game_ply, SearchLimits& l);
// Limits with the level and no restrictions.
SearchLimits level_limits(const EngineSettings& s, int side, int game_ply);
// Brings the move notation in step with the chess960 and protocol settings.
void sync_notation_style();
