#include "params.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

EvalParam eval_params[PARAM_COUNT];
int first_table_param;

namespace {

constexpr const char* scalar_names[SCALAR_PARAMS] = {
    "mtl_pawn",       "mtl_knight",      "mtl_bishop",          "mtl_rook",       "mtl_queen",
    "bishop_pair",    "knight_mobility", "bishop_mobility",     "rook_mobility",  "queen_mobility",
    "ppawn_base",     "ppawn_mobile",    "ppawn_free",          "ppawn_connected", "ppawn_fkprox",
    "ppawn_ekprox",   "ppawn_candidate", "pawn_isolated",       "pawn_weak",      "pawn_blocked",
    "pawn_doubled",   "knight_outpost",  "bishop_infiltration", "bishop_outpost", "bishop_rampawns",
    "rook_infiltration", "rook_openfile", "rook_7th",           "pawn_shield",    "enemy_checks",
    "king_danger1",   "king_danger2",    "king_trapped",        "king_pawn_dist", "hung_pawn",
    "attacked_pawn",  "hung_minor",      "attacked_minor",      "hung_major",     "ppush_threat",
    "pinned_piece",   "mtl_imbalance",   "stm_bonus",
};

constexpr const char* table_names[9] = {"PST_P1", "PST_P2", "PST_CP", "PST_DP", "PST_N",
                                        "PST_B",  "PST_R",  "PST_Q",  "PST_K"};

void set_value(EvalParam& p, int mg, int eg) {
    p.packed = make_packed(mg, eg);
    p.mg = float(mg);
    p.eg = float(eg);
}

int add_param(int index, const char* name, int mg, int eg) {
    EvalParam& p = eval_params[index];
    snprintf(p.name, sizeof p.name, "%s", name);
    set_value(p, mg, eg);
    p.tune_value = 0;
    p.tune_count = 0;
    return index + 1;
}

// Reads the next comma-separated integer of a line. Returns 0 when the
// line has no more fields.
int next_number(const char*& s, int& value) {
    if (*s != ',') return 0;
    s++;
    char* end;
    value = int(strtol(s, &end, 10));
    s = end;
    // Skip anything up to the next separator, as a number field ends there.
    while (*s && *s != ',') s++;
    return 1;
}

int apply_line(const char* line, int& write_pos) {
    if (strlen(line) <= 4 || strstr(line, "start") || strchr(line, '(') || strchr(line, ')')) return 0;
    char name[33];
    size_t n = strcspn(line, ",");
    if (n > 32) n = 32;
    memcpy(name, line, n);
    name[n] = 0;
    const char* s = line + strcspn(line, ",");

    int pairs = strstr(name, "PST") ? 64 : strstr(name, "ttune") ? 32 : 1;
    int errors = 0;
    for (int i = 0; i < pairs; i++) {
        int mg, eg;
        // A short line stops here instead of reading past its end.
        if (!next_number(s, mg) || !next_number(s, eg)) break;
        if (!strcmp(name, "mtl_pawn")) write_pos = 0;
        if (write_pos >= PARAM_COUNT) break;
        EvalParam& p = eval_params[write_pos];
        if (strcmp(name, p.name)) {
            printf("error %s  %s\n", name, p.name);
            errors++;
        }
        set_value(p, mg, eg);
        write_pos++;
    }
    return errors;
}

}  // namespace

void register_params() {
    int i = 0;
    for (const char* name : scalar_names) i = add_param(i, name, 0, 0);
    set_value(eval_params[MTL_PAWN], 100, 100);
    set_value(eval_params[MTL_KNIGHT], 335, 335);
    set_value(eval_params[MTL_BISHOP], 335, 335);
    set_value(eval_params[MTL_ROOK], 535, 535);
    set_value(eval_params[MTL_QUEEN], 1000, 1000);
    first_table_param = i;
    for (const char* name : table_names)
        for (int s = 0; s < 64; s++) i = add_param(i, name, 0, 0);
    for (int k = 0; k < 32; k++) i = add_param(i, "ttune", 0, 0);
}

int apply_param_text(const char* text) {
    // Lines end at a line feed, a carriage return or a space; whatever
    // follows the last of these is not a finished line and is ignored.
    std::vector<char> buf(text, text + strlen(text) + 1);
    int write_pos = 0, errors = 0;
    size_t start = 0;
    for (size_t i = 0; buf[i]; i++) {
        char c = buf[i];
        if (c != '\n' && c != '\r' && c != ' ') continue;
        buf[i] = 0;
        errors += apply_line(&buf[start], write_pos);
        start = i + 1;
    }
    return errors;
}

int find_param(const char* name) {
    for (int i = 0; i < PARAM_COUNT; i++)
        if (!strcmp(eval_params[i].name, name)) return i;
    return -1;
}

void set_param(int index, int mg, int eg) { set_value(eval_params[index], mg, eg); }

std::string param_text() {
    // One line per scalar, one per square table (entries of one name run
    // together), the ttune block last and without a line end.
    std::string out = "start\n";
    for (int i = 0; i < PARAM_COUNT;) {
        int j = i;
        std::string line = eval_params[i].name;
        while (j < PARAM_COUNT && !strcmp(eval_params[j].name, eval_params[i].name)) {
            // The float halves hold the values as given; the packed end-game
            // half reads one lower under a negative middle-game half.
            char pair[32];
            snprintf(pair, sizeof pair, ",%d,%d", int(eval_params[j].mg), int(eval_params[j].eg));
            line += pair;
            j++;
            if (i < SCALAR_PARAMS) break;
        }
        out += line;
        if (j < PARAM_COUNT) out += "\n";
        i = j;
    }
    return out;
}
