#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../search/strength.h"
#include "../search/hash.h"
#include "../search/search_control.h"
#include "console_commands.h"
#include "options.h"
#include "../system/output.h"
#include "settings.h"

namespace {

long long whole(const char* text) { return strtoll(text, nullptr, 10); }

template <class T>
T clamped(long long v, long long lo, long long hi) {
    return T(v < lo ? lo : v > hi ? hi : v);
}

// A clock time: seconds, or minutes and seconds joined by a colon (5:00).
float clock_time(const char* text) {
    if (const char* colon = strchr(text, ':')) return float(atof(text) * 60.0 + atof(colon + 1));
    return float(atof(text));
}

struct NamedField {
    const char* name;
    int16_t* field;
    int lo, hi;
};

const NamedField named_fields[] = {
    {"NMP_depth", &search_options.NMP_depth, -32768, 32767},
    {"SEP_depth", &search_options.SEP_depth, -32768, 32767},
    {"FP_depth", &search_options.FP_depth, -32768, 32767},
    {"LMP_depth", &search_options.LMP_depth, -32768, 32767},
    {"LMR_depth", &search_options.LMR_depth, -32768, 32767},
    // The switch and the option keep Selectivity in 10..200; so does this.
    {"Selectivity", &search_options.selectivity, 10, 200},
    {"contempt", &eval_options.contempt, -32768, 32767},
    {"ponder", &settings.ponder, -32768, 32767},
};

}  // namespace

void set_command(const char* name, const char* v1, const char* v2, const char* v3) {
    EngineSettings& s = settings;
    auto is = [name](const char* n) { return strcmp(name, n) == 0; };
    if (is("hash")) {
        hash_use = clamped<uint8_t>(whole(v1), 0, 255);
    } else if (is("noise")) {
        output_mode.noise = float(atof(v1));
    } else if (strstr(name, "multipv")) {
        search_options.multipv = clamped<uint8_t>(whole(v1), 1, 255);
    } else if (is("debug")) {
        s.analysis_debug = clamped<uint8_t>(whole(v1), 0, 255);
    } else if (is("frc")) {
        s.chess960 = clamped<uint8_t>(whole(v1), 0, 255);
    } else if (is("level")) {
        s.moves_per_control = clamped<int16_t>(whole(v1), 0, 32767);
        s.base_time = clock_time(v2);
        s.time_left[0] = s.time_left[1] = s.base_time;
        s.increment = float(atof(v3));
        engine_printf("set level to %d moves in %0.2f seconds, inc %0.2f", s.moves_per_control, double(s.base_time),
                      double(s.increment));
    } else if (is("depth")) {
        s.max_depth = clamped<int16_t>(whole(v1), 0, 80);
    } else if (is("nodes")) {
        s.max_depth = 80;
        long long n = whole(v1);
        s.max_nodes = n < 0 ? 0 : n;
    } else if (is("target_nps")) {
        request_speed(float(atof(v1)));
        engine_printf("target_nps set to %.0f, Elo= %d", double(target_nps), search_options.elo);
    } else if (is("ss")) {
        if (whole(v1) == 1) {
            // The copy is taken before the switches are read, so it holds
            // the protocol mode; the console must stay the console.
            uint8_t quit = s.quit_requested;
            restore_settings(saved_settings);
            s.quit_requested = quit;
            set_logging(s.log != 0);
            engine_print("set default Settings");
        } else {
            search_options.SEP_depth = search_options.LMP_depth = 0;
            search_options.NMP_depth = search_options.LMR_depth = 99;
            engine_print("selectivity set to OFF");
        }
    } else {
        for (const NamedField& f : named_fields) {
            if (!is(f.name)) continue;
            *f.field = clamped<int16_t>(whole(v1), f.lo, f.hi);
            engine_printf("%s set to %d", f.name, *f.field);
            return;
        }
    }
}
