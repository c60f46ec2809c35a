#include "options.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../eval/network.h"
#include "../search/hash.h"
#include "../pyrrhic/tablebase.h"
#include "../search/search_control.h"
#include "../search/strength.h"
#include "../system/output.h"
#include "settings.h"
#include "startup.h"

static long long read_number(const char* text) {
    return strtoll(text, nullptr, 10);
}

static int clamp(long long v, int lo, int hi) {
    return v < lo ? lo : v > hi ? hi : int(v);
}

static const char* truth(int v) { return v ? "true" : "false"; }

// The top of the UCI_Elo range: the rating of the engine's full speed on
// this machine, never below the range's floor of 1500.
static int elo_ceiling() {
    const int top = int(calibrated_elo);
    return top < 1500 ? 1500 : top;
}

static void announce_spin(const char* name, int value, int lo, int hi) {
    engine_printf("option name %s type spin default %d min %d max %d", name, value, lo, hi);
}

static void announce_check(const char* name, int value) {
    engine_printf("option name %s type check default %s", name, truth(value));
}

void announce_options() {
    const EngineSettings& s = saved_settings.shell;
    SearchOptions& search = saved_settings.search;
    engine_printf("option name ConfigFilePath type string default %s", s.config_file);
    announce_spin("Hash", settings.hash_mb, 0, 65536);
    announce_spin("Threads", 1, 1, 512);
    engine_print("option name Clear Hash type button");
    engine_printf("option name NN_File type string default %s", settings.nn_file);
    announce_check("Use_NN_eval", eval_options.use_nn);
    announce_check("OwnBook", s.own_book);
    engine_printf("option name OwnBook_File type string default %s", s.book_file);
    announce_spin("OwnBook_Depth", s.book_depth, 0, 60);
    engine_printf("option name OwnBook2_File type string default %s", s.book2_file);
    announce_spin("OwnBook2_Depth", s.book2_depth, 0, 60);
    announce_spin("OwnBook_Variety", s.book_variety, 0, 100);
    engine_printf("option name SyzygyPath type string default %s", s.syzygy_path);
    announce_spin("SyzygyProbeDepth6", int8_t(saved_settings.tb.probe_depth6), -5, 100);
    announce_check("Log", s.log);
    announce_check("Ponder", s.ponder);
    announce_spin("MultiPV", search.multipv, 1, 255);
    announce_check("UCI_Chess960", settings.chess960);
    announce_spin("MoveOverhead", s.move_overhead, 0, 1000);
    announce_check("UCI_LimitStrength", search.limit_strength);
    const int top = elo_ceiling();
    if (search.elo == 0) search.elo = int16_t(top);
    announce_spin("UCI_Elo", search.elo, 1500, top);
    engine_print("option name UCI_Opponent type string default ");
    announce_spin("Contempt", saved_settings.eval.contempt, -150, 150);
    announce_spin("Selectivity", search.selectivity, 0, 200);
}

// Reads, clamps and reports a spin value.
static int spin(const char* name, const char* value, int lo, int hi) {
    int v = clamp(read_number(value), lo, hi);
    engine_printf("info string %s set to %d", name, v);
    return v;
}

static int check(const char* name, const char* value) {
    int v = strstr(value, "true") ? 1 : 0;
    engine_printf("info string %s set to %d", name, v);
    return v;
}

// Copies a text value into its field, cutting what does not fit.
static void text_value(const char* name, char* field, size_t size, const char* value) {
    snprintf(field, size, "%.*s", int(size) - 1, value);
    engine_printf("info string %s set to '%s'", name, field);
}

void set_option(const char* name, const char* value) {
    if (load_state() != 0) return;
    EngineSettings& s = settings;
    auto is = [name](const char* option) { return strcmp(name, option) == 0; };

    if (is("ConfigFilePath")) {
        text_value(name, s.config_file, sizeof s.config_file, value);
        read_config_file();
    }
    if (is("Hash")) {
        // A size the machine cannot give is halved until it can: the
        // engine keeps a working table and says which size it has.
        const int wanted = spin(name, value, 0, 65536);
        s.hash_mb = wanted;
        while (!allocate_hash(s.hash_mb, output_mode.noise < SILENT_NOISE)) s.hash_mb /= 2;  // 0 needs no memory and always succeeds
        if (s.hash_mb != wanted)
            engine_printf("info string cannot allocate %d Mbytes for the hash table, using %d", wanted, s.hash_mb);
    }
    if (is("Threads")) search_options.threads = int16_t(spin(name, value, 0, 512));
    if (is("MoveOverhead")) s.move_overhead = int16_t(spin(name, value, 0, 1000));
    if (is("Ponder")) s.ponder = int16_t(check(name, value));
    if (is("Contempt")) eval_options.contempt = int16_t(spin(name, value, -150, 150));
    if (is("Selectivity")) search_options.selectivity = int16_t(spin(name, value, 0, 200));
    if (is("MultiPV")) search_options.multipv = uint8_t(spin(name, value, 1, 255));
    if (is("NN_File")) {
        text_value(name, s.nn_file, sizeof s.nn_file, value);
        load_network(s.nn_file, s.train_weight);
    }
    if (is("Use_NN_eval")) eval_options.use_nn = uint8_t(check(name, value));
    if (is("OwnBook")) s.own_book = uint8_t(check(name, value));
    if (is("OwnBook_File")) text_value(name, s.book_file, sizeof s.book_file, value);
    if (is("OwnBook2_File")) text_value(name, s.book2_file, sizeof s.book2_file, value);
    if (is("OwnBook_Variety")) s.book_variety = uint8_t(spin(name, value, 0, 100));
    if (is("OwnBook_Depth")) s.book_depth = uint8_t(spin(name, value, 0, 60));
    if (is("OwnBook2_Depth")) s.book2_depth = uint8_t(spin(name, value, 0, 60));
    if (is("Log")) {
        s.log = uint8_t(check(name, value));
        if (s.log && !open_log()) s.log = 0;
        set_logging(s.log != 0);
    }
    if (is("Clear Hash")) {
        clear_hash();
        engine_print("info string Hash table cleared");
    }
    if (is("SyzygyPath")) {
        text_value(name, s.syzygy_path, sizeof s.syzygy_path, value);
        tb_setup(s.syzygy_path);
    }
    if (is("SyzygyProbeDepth6")) {
        int v = spin(name, value, -5, 100);
        tb_options.probe_depth6 = int8_t(v);
        tb_options.probe_depth7 = int8_t(v > 7 ? v : 7);
    }
    // An Elo asked for replaces a speed asked for earlier.
    if (is("UCI_LimitStrength"))
        search_options.limit_strength = uint8_t(check(name, value)), search_options.speed_request = 0;
    // The range announced is the range taken: a front end that checks a
    // value against it must not have it changed behind its back.
    if (is("UCI_Elo"))
        search_options.elo = int16_t(spin(name, value, 1500, elo_ceiling())), search_options.speed_request = 0;
    if (is("UCI_Opponent")) {
        // The value reads like "GM 2800 human Name": title, rating, kind, name.
        const char* rating = strchr(value, ' ');
        s.opponent_elo = int16_t(spin("opponent_elo", rating ? rating : "", 0, 4000));
    }
    if (is("UCI_Chess960")) {
        s.chess960 = uint8_t(check(name, value));
        sync_notation_style();
    }
    if (is("Target_NPS")) request_speed(float(spin(name, value, 20, 10000)));
    if (is("Speed Throttle [%]")) {
        int v = spin(name, value, 1, 100);
        request_speed(std::round(calibration_nps * 0.01f * float(v)));
    }
}

// A configuration file may name another one; the nesting limit keeps a
// file that names itself from recursing without end.
static int config_depth = 0;
constexpr int MAX_CONFIG_DEPTH = 8;
constexpr int MAX_CONFIG_LINES = 10000;

int read_config_file() {
    if (config_depth >= MAX_CONFIG_DEPTH) return 0;
    char file_name[sizeof settings.config_file];
    snprintf(file_name, sizeof file_name, "%s", settings.config_file);
    FILE* f = fopen(file_name, "r");
    if (!f) return 0;
    config_depth++;
    engine_printf("info string loading parameters from %s", file_name);
    char line[255];
    // A configuration holds a few dozen lines; a device or a runaway file
    // that never ends is cut off here instead of read for ever.
    int lines = 0;
    while (fgets(line, sizeof line, f)) {
        if (++lines > MAX_CONFIG_LINES) {
            engine_printf("info string %s has more than %d lines, the rest is ignored", file_name, MAX_CONFIG_LINES);
            break;
        }
        if (strlen(line) < 4) continue;
        line[strcspn(line, "\r\n")] = 0;
        line[strcspn(line, "#")] = 0;
        char* eq = strchr(line, '=');
        if (!eq) continue;
        *eq = 0;
        char name[101], value[201];
        snprintf(name, sizeof name, "%.*s", int(sizeof name) - 1, line);
        for (int n = int(strlen(name)); n > 0 && (name[n - 1] == ' ' || name[n - 1] == '\t'); n--) name[n - 1] = 0;
        const char* v = eq + 1;
        while (*v == ' ' || *v == '\t') v++;
        snprintf(value, sizeof value, "%.*s", int(sizeof value) - 1, v);
        set_option(name, value);
    }
    fclose(f);
    config_depth--;
    saved_settings = current_settings();
    return 1;
}
