#include "startup.h"
#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <ctime>
#include "../book/book_build.h"
#include "../position/attacks.h"
#include "../position/kpk.h"
#include "../position/zobrist.h"
#include "../eval/network.h"
#include "../tools/network_prune.h"
#include "../eval/params.h"
#include "../pyrrhic/tablebase.h"
#include "../pyrrhic/tbprobe.h"
#include "../search/hash.h"
#include "../search/search_control.h"
#include "../search/strength.h"
#include "../search/thread.h"
#include "../tools/bench.h"
#include "../tools/epd_analysis.h"
#include "../tools/training_tools.h"
#include "../tools/pgn_tools.h"
#include "game.h"
#include "options.h"
#include "search_output.h"
#include "../system/output.h"
#include "settings.h"
#include "uci.h"

char exe_dir[200];


// A parameter text applied over the built-in weights (-params FILE).
static char params_file[200] = "";

static const char* const calibration_fen = "rnb1k2r/1pq1bppp/p2p1n2/4p3/4P3/2N1BN2/PPP1BPPP/R2QK2R w KQkq -";

// The executable's directory: the program path without its last
// component, made absolute against the working directory.
static void find_exe_dir(const char* program) {
    snprintf(exe_dir, sizeof exe_dir, "%s", program ? program : "");
    char cwd[199];
    if (!getcwd(cwd, sizeof cwd)) cwd[0] = 0;
    for (int n = int(strlen(exe_dir)) - 1; n >= 0; n--) {
        char c = exe_dir[n];
        exe_dir[n] = 0;
        if (c == '/' || c == '\\') break;
    }
    bool absolute = exe_dir[0] == '/' || exe_dir[0] == '\\' || (exe_dir[0] && exe_dir[1] == ':');
    if (!absolute) {
        char joined[sizeof cwd + 1 + sizeof exe_dir];
        if (exe_dir[0]) snprintf(joined, sizeof joined, "%s/%s", cwd, exe_dir);
        else snprintf(joined, sizeof joined, "%s", cwd);
        snprintf(exe_dir, sizeof exe_dir, "%.*s", int(sizeof exe_dir) - 1, joined);  // a longer path is cut
    }
    for (char* c = exe_dir; *c; c++)
        if (*c == '\\') *c = '/';
}

static SearchThread* new_block() {
    auto* t = static_cast<SearchThread*>(calloc(1, sizeof(SearchThread)));
    if (!t) return nullptr;
    attach_position(*t);
    t->seed = uint32_t(rand());
    setup_move_lists(*t);
    return t;
}

static bool quitting() { return settings.quit_requested != 0; }

int prepare_process(const char* program) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    setvbuf(stdin, nullptr, _IONBF, 0);
    find_exe_dir(program);
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    srand(unsigned(ts.tv_nsec));

    for (int i = 1; i < MAX_THREADS; i++) {
        free(thread_table[i]);
        thread_table[i] = nullptr;
    }
    if (!thread_table[0] && !(thread_table[0] = new_block())) return 1;
    if (!game_block && !(game_block = new_block())) return 1;
    set_search_host({game_block, read_command, quitting, print_search_report});

    static bool tables_built = false;
    if (!tables_built) {
        init_tables();
        init_kpk();
        tables_built = true;
    }
    set_default_settings();
    saved_settings = current_settings();
    return 0;
}

static long long integer(const char* text) { return strtoll(text, nullptr, 10); }

static long long clamp(long long v, long long lo, long long hi) { return v < lo ? lo : v > hi ? hi : v; }

int read_switches(int argc, char** argv, EngineMode& mode, ToolArguments& tools) {
    EngineSettings& s = settings;
    for (int i = 1; i < argc; i++) {
        // A switch whose argument is missing at the end of the command line
        // is a usage error (there is no word to read it from).
        bool missing = false;
        auto arg = [&]() -> const char* {
            if (i + 1 >= argc) {
                missing = true;
                return "";
            }
            return argv[++i];
        };
        // Comparisons are made on the last word consumed, so a file name
        // that equals a later switch acts as that switch too.
        auto is = [&](const char* name) { return !missing && strcmp(argv[i], name) == 0; };
        auto text = [](char* field, size_t size, const char* value) { snprintf(field, size, "%s", value); };

        if (is("-uci")) output_mode.uci_mode = 1;
        if (is("-c")) output_mode.uci_mode = 0;
        if (is("-log")) s.log = 2;
        if (is("-numa")) {
            // One memory node is all this platform build knows: accepted, no effect.
        }
        if (is("-noise")) output_mode.noise = float(atof(arg()));
        if (is("-quiet")) {
            output_mode.noise = SILENT_NOISE;
            s.log = 0;
        }
        if (is("-cfg")) text(s.config_file, sizeof s.config_file, arg());
        if (is("-t")) {
            s.base_time = float(atof(arg()));
            s.max_depth = 79;
            s.moves_per_control = 1;
        }
        if (is("-d")) {
            s.max_depth = int16_t(clamp(integer(arg()), 0, 79));
            s.base_time = 10000.0f;
            s.moves_per_control = 1;
        }
        if (is("-n")) {
            s.max_nodes = clamp(integer(arg()), 0, INT64_MAX);
            s.max_depth = 79;
            s.base_time = 10000.0f;
            s.moves_per_control = 1;
        }
        if (is("-md")) {
            s.stop_depth = int16_t(clamp(integer(arg()), 0, 32767));
            s.base_time = 10000.0f;
            s.moves_per_control = 1;
        }
        if (is("-mn")) {
            s.node_check = clamp(integer(arg()), 0, INT64_MAX);
            s.base_time = 1000.0f;
            s.moves_per_control = 1;
        }
        if (is("-nps")) {
            request_speed(float(atof(arg())));
            printf("Elo= %d\n", search_options.elo);
        }
        if (is("-hash")) s.hash_mb = int32_t(clamp(integer(arg()), 0, 65536));
        if (is("-threads")) search_options.threads = int16_t(clamp(integer(arg()), 1, 512));
        if (is("-book")) text(s.book_file, sizeof s.book_file, arg());
        if (is("-tbpath")) text(s.syzygy_path, sizeof s.syzygy_path, arg());
        if (is("-tbx")) text(s.syzygy_path, sizeof s.syzygy_path, "\\Chess\\Syzygy\\6-Piece;\\Chess\\Syzygy\\7-Piece");
        if (is("-use_hce")) eval_options.use_nn = 0;
        if (is("-use_nn")) eval_options.use_nn = 1;
        if (is("-o")) text(tools.epd_out, sizeof tools.epd_out, arg());
        if (is("-mpv")) search_options.multipv = uint8_t(clamp(integer(arg()), 1, 255));
        if (is("-ss")) search_options.selectivity = int16_t(clamp(integer(arg()), 10, 200));
        if (is("-anepd")) {
            text(tools.epd_in, sizeof tools.epd_in, arg());
            output_mode.noise = SILENT_NOISE;
            mode = MODE_ANEPD;
        }
        if (!missing && strstr(argv[i], "-scan_pgn")) {
            if (argc < 2) return 1;
            text(tools.pgn_in, sizeof tools.pgn_in, arg());
            mode = MODE_SCAN_PGN;
        }
        if (is("-bench")) mode = MODE_BENCH;
        if (is("-pbench")) mode = MODE_PBENCH;
        if (is("-mkconfig")) mode = MODE_MKCONFIG;
        if (is("-mkbook")) {
            if (argc < 2) return 1;
            text(tools.pgn_in, sizeof tools.pgn_in, arg());
            mode = MODE_MKBOOK;
        }
        if (is("-mkbook2")) {
            if (argc < 3) return 1;
            text(tools.epd_in, sizeof tools.epd_in, arg());
            mode = MODE_MKBOOK2;
        }
        if (is("-epd2bin")) {
            if (argc < 2) return 1;
            text(tools.epd_in, sizeof tools.epd_in, arg());
            mode = MODE_EPD2BIN;
        }
        if (is("-bin2epd")) {
            if (argc < 2) return 1;
            text(tools.bin_file, sizeof tools.bin_file, arg());
            mode = MODE_BIN2EPD;
        }
        if (is("-bin2ptb")) {
            if (argc < 2) return 1;
            text(tools.bin_file, sizeof tools.bin_file, arg());
            mode = MODE_BIN2PTB;
        }
        if (is("-prune_nn")) {
            mode = MODE_PRUNE_NN;
            // The training file has a fixed name; one given after the switch replaces it.
            if (i + 1 < argc && argv[i + 1][0] != '-') text(tools.prune_input, sizeof tools.prune_input, argv[++i]);
        }
        if (is("-gencorrhist")) {
            mode = MODE_GENCORRHIST;
            if (i + 1 < argc && argv[i + 1][0] != '-') text(tools.corrhist_input, sizeof tools.corrhist_input, argv[++i]);
        }
        if (is("-filtertraindata")) {
            if (argc < 2) return 1;
            text(tools.bin_file, sizeof tools.bin_file, arg());
            mode = MODE_FILTERTRAINDATA;
        }
        if (is("-gentraindata")) {
            if (argc < 3) return 1;
            text(tools.bin_file, sizeof tools.bin_file, arg());
            const char* count = arg();
            if (missing) return 1;
            tools.train_positions = integer(count);
            if (tools.train_positions < 1) return 1;
            s.book_variety = 75;
            output_mode.noise = SILENT_NOISE;
            mode = MODE_GENTRAINDATA;
            // The openings file has a fixed name; one given after the count replaces it.
            if (i + 1 < argc && argv[i + 1][0] != '-') text(tools.openings_input, sizeof tools.openings_input, argv[++i]);
        }
        if (is("-scoretraindata")) {
            if (argc < 2) return 1;
            text(tools.epd_in, sizeof tools.epd_in, arg());
            text(s.syzygy_path, sizeof s.syzygy_path, "\\Chess\\Syzygy\\6-Piece");
            mode = MODE_SCORETRAINDATA;
        }
        if (is("-train") || is("-train2")) {
            if (argc < 4) return 1;
            text(tools.bin_file, sizeof tools.bin_file, arg());
            long long millions = integer(arg());
            if (missing) return 1;
            tools.train_positions = millions > INT64_MAX / 1000000 ? INT64_MAX : millions * 1000000;
            if (tools.train_positions < 1000000) return 1;
            if (i + 1 < argc && (argv[i + 1][0] == '0' || argv[i + 1][0] == '1')) i++;
            s.hash_mb = 0;
            mode = MODE_TRAIN;
        }
        if (is("-lr")) arg();  // the old trainer's learning rate: read and passed over
        if (is("-mbatch")) arg();  // the old trainer's batch size: its value is read and passed over
        if (is("-tw")) s.train_weight = float(atof(arg()));
        if (is("-tdstats")) {
            mode = MODE_TDSTATS;
            if (i + 1 < argc && argv[i + 1][0] != '-') text(tools.tdstats_input, sizeof tools.tdstats_input, argv[++i]);
        }
        // Not one of the original switches: hand-crafted weights from a file.
        if (is("-params")) text(params_file, sizeof params_file, arg());
        // Not one of the original switches: a random-move rate for -gentraindata.
        if (is("-genrandom")) tools.random_move_permille = int(clamp(integer(arg()), 0, 1000));
        // Not one of the original switches: the evaluation noise of -gentraindata (99 unless given).
        if (is("-gennoise")) tools.generator_noise = int(clamp(integer(arg()), 0, 999));
        // Not one of the original switches: the openings file for -gentraindata.
        if (is("-mkopenings")) {
            long long n = integer(arg());
            text(tools.openings_output, sizeof tools.openings_output, arg());
            if (missing || n < 1) return 1;
            tools.openings_wanted = int(n > 1000000 ? 1000000 : n);
            mode = MODE_MKOPENINGS;
            if (i + 1 < argc && argv[i + 1][0] != '-') text(tools.openings_book, sizeof tools.openings_book, argv[++i]);
        }
        // Not one of the original switches: keeps the quiet records of a file.
        if (is("-quiettraindata")) {
            if (argc < 2) return 1;
            text(tools.bin_file, sizeof tools.bin_file, arg());
            mode = MODE_QUIETTRAINDATA;
        }
        if (missing) return 1;
    }
    return 0;
}

static const char* mode_switch(EngineMode mode) {
    switch (mode) {
        case MODE_ANEPD: return "-anepd";
        case MODE_SCAN_PGN: return "-scan_pgn";
        case MODE_BENCH: return "-bench";
        case MODE_PBENCH: return "-pbench";
        case MODE_MKBOOK: return "-mkbook";
        case MODE_MKBOOK2: return "-mkbook2";
        case MODE_EPD2BIN: return "-epd2bin";
        case MODE_BIN2EPD: return "-bin2epd";
        case MODE_BIN2PTB: return "-bin2ptb";
        case MODE_PRUNE_NN: return "-prune_nn";
        case MODE_GENCORRHIST: return "-gencorrhist";
        case MODE_FILTERTRAINDATA: return "-filtertraindata";
        case MODE_GENTRAINDATA: return "-gentraindata";
        case MODE_SCORETRAINDATA: return "-scoretraindata";
        case MODE_TDSTATS: return "-tdstats";
        default: return "";
    }
}

// Measures the speed of a fixed 35000-node search; the speed rates the
// engine for UCI_Elo and scales the speed throttle.
// Applies the parameter text of a file over the table; false when the
// file cannot be read.
static bool apply_param_file(const char* name) {
    FILE* f = fopen(name, "rb");
    if (!f) return false;
    std::string text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    fclose(f);
    apply_param_text(text.c_str());
    return true;
}

static void calibrate() {
    set_game_position(calibration_fen);
    clear_game_record();
    // One thread at full speed, silent; the options come back afterwards.
    const SearchOptions options = search_options;
    const float noise = output_mode.noise;
    search_options.threads = 1;
    output_mode.noise = SILENT_NOISE;
    search_options.limit_strength = 0;
    SearchLimits limits = game_level_limits();
    limits.max_nodes = 35000;
    start_search(STATE_FIXED, false, limits);
    store_state(0);
    search_options = options;
    output_mode.noise = noise;
    calibration_nps = float(double(thread_table[0]->nodes) / (search_result.elapsed + 0.002) * 1.18);
    calibrated_elo = float(elo_of_speed(calibration_nps));
    engine_printf("info string et= %.3f, calibration nps= %0.0f, elo= %0.0f", double(search_result.elapsed), double(calibration_nps),
                  double(calibrated_elo));
}

static void release_process() {
    release_hash();
    tb_free();
    close_log();
    if (game_block) release_network_state(game_block->eval);
    free(game_block);
    game_block = nullptr;
    for (int i = 0; i < MAX_THREADS; i++) {
        if (thread_table[i]) release_network_state(thread_table[i]->eval);
        free(thread_table[i]);
        thread_table[i] = nullptr;
    }
}

int engine_main(int argc, char** argv) {
    if (prepare_process(argc > 0 ? argv[0] : nullptr)) return 1;
    EngineMode mode = MODE_ENGINE;
    ToolArguments tools;
    if (int status = read_switches(argc, argv, mode, tools)) return status;
    sync_notation_style();
    if (mode == MODE_TRAIN || eval_options.use_nn == 2) {
        printf("Need to compile with 'make train_'\n");
        return 1;
    }
    if (output_mode.noise < SILENT_NOISE) engine_printf("info string Hello from %s", engine_name);

    // Small searches get a small table.
    if (settings.max_depth < 9 || settings.max_nodes <= 100000) settings.hash_mb = 2;
    else if (settings.max_nodes <= 200000 || settings.max_depth == 9) settings.hash_mb = 4;
    // The key numbers are made where the table is first allocated.
    if (!allocate_hash(settings.hash_mb, output_mode.noise < SILENT_NOISE)) return 1;

    if (settings.config_file[0]) read_config_file();
    if (settings.log && !open_log()) settings.log = 0;
    set_logging(settings.log != 0);
    register_params();
    apply_param_text(builtin_param_text);
    if (params_file[0]) {
        if (apply_param_file(params_file)) engine_printf("info string loaded parameters from %s", params_file);
        else engine_printf("info string can't read parameters from %s", params_file);
    }
    load_network(settings.nn_file, settings.train_weight);
    if (strlen(settings.syzygy_path) > 1) tb_setup(settings.syzygy_path);

    switch (mode) {
        case MODE_ENGINE:
            calibrate();
            driver_loop();
            break;
        case MODE_MKCONFIG:
            break;
        case MODE_PRUNE_NN:
            prune_network(tools.prune_input);
            break;
        case MODE_BENCH:
        case MODE_PBENCH:
            run_benchmark(mode == MODE_BENCH);
            break;
        case MODE_MKBOOK:
            build_book(tools.pgn_in);
            break;
        case MODE_ANEPD:
            analyse_epd(tools.epd_in, tools.epd_out, false);
            break;
        case MODE_MKBOOK2:
            analyse_epd(tools.epd_in, "junk.epd", true);
            break;
        case MODE_SCAN_PGN:
            scan_pgn_file(tools.pgn_in, tools.epd_out);
            break;
        case MODE_EPD2BIN:
            epd_to_bin(tools.epd_in);
            break;
        case MODE_BIN2EPD:
            bin_to_epd(tools.bin_file);
            break;
        case MODE_BIN2PTB:
            bin_to_ptb(tools.bin_file);
            break;
        case MODE_FILTERTRAINDATA:
            filter_train_data(tools.bin_file);
            break;
        case MODE_TDSTATS:
            training_stats(tools.tdstats_input);
            break;
        case MODE_GENCORRHIST:
            correction_stats(tools.corrhist_input);
            break;
        case MODE_SCORETRAINDATA:
            score_train_data(tools.epd_in, tools.epd_out);
            break;
        case MODE_GENTRAINDATA:
            gen_train_data(tools);
            break;
        case MODE_MKOPENINGS:
            make_openings(tools.openings_output, tools.openings_wanted, tools.openings_book);
            break;
        case MODE_QUIETTRAINDATA:
            quiet_train_data(tools.bin_file);
            break;
        default:
            printf("%s is not available yet\n", mode_switch(mode));
            break;
    }
    release_process();
    return 0;
}
