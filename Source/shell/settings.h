// Process-wide settings, the go inputs and the shared search flags.
#pragma once
#include <atomic>
#include <cstdint>
#include "../search/search_limits.h"

struct EngineSettings {
    uint8_t quit_requested;
    float noise;  // seconds before the search reports; SILENT_NOISE: never
    uint8_t analysis_debug;
    float train_weight;  // -tw: noise added to the weights of a network file read
    uint8_t uci_mode;
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
    int16_t threads;
    uint8_t use_nn;
    int16_t move_overhead;
    int16_t ponder;
    uint8_t chess960;
    uint8_t multipv;
    uint8_t limit_strength;
    int16_t elo;
    float speed_request;  // nodes per second asked for (Target_NPS, throttle), 0 for none
    int16_t opponent_elo;
    uint8_t log;
    uint8_t own_book;
    uint8_t book_variety;
    uint8_t book_depth;
    uint8_t book2_depth;
    char params_file[144];
    char nn_file[150];
    char config_file[144];
    char book_file[144];
    char book2_file[144];
    char syzygy_path[144];
    int8_t tb_probe_depth6;
    int8_t tb_probe_depth7;
    int16_t contempt;
    int16_t selectivity;
    int16_t SEP_depth, NMP_depth, FP_depth, LMP_depth, LMR_depth;
    int16_t phase_contempt;
};

// The noise value of a search that prints nothing: tools, tests and the
// training-data generator.
constexpr float SILENT_NOISE = 99999.0f;

extern EngineSettings settings;
extern EngineSettings saved_settings;

// Search-state word: mode bits and flags shared with the search threads.
constexpr uint16_t STATE_NORMAL = 1, STATE_PONDER = 2, STATE_FIXED = 4;
constexpr uint16_t STATE_GO_WAITING = 0x10, STATE_PONDER_WAITING = 0x20;
constexpr uint16_t STATE_RESULT_READY = 0x40, STATE_STOP_REQUESTED = 0x80;

extern std::atomic<uint16_t> search_state;
extern std::atomic<uint8_t> stop_search;
extern float target_nps;

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
