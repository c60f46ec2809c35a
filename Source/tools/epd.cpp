#include "epd.h"
#include <cstring>

static bool is_blank(char c) { return c == ' ' || c == '\t'; }
static bool is_line_end(char c) { return c == 0 || c == '\r' || c == '\n'; }

// Appends c to a field of size bytes, dropping what does not fit.
static void add_char(char* field, int size, int& n, char c) {
    if (n + 1 < size) field[n++] = c;
    field[n] = 0;
}

int parse_epd_line(const char* line, EpdFields& out) {
    memset(&out, 0, sizeof out);
    const char* s = line;
    // The position: the text up to the fourth blank.
    int blanks = 0, n = 0;
    for (; !is_line_end(*s); s++) {
        if (is_blank(*s) && ++blanks == 4) break;
        add_char(out.fen, sizeof out.fen, n, *s);
    }
    if (!out.fen[0]) return 0;
    // The half-move and full-move numbers, when present.
    while (is_blank(*s) || (*s >= '0' && *s <= '9')) s++;

    struct Op {
        const char* code;
        char* field;
    } ops[] = {{"ce", out.ce}, {"sc", out.sc}, {"gr", out.gr}, {"bm", out.bm},
               {"am", out.am}, {"id", out.id}, {"c0", out.c0}};
    while (!is_line_end(*s)) {
        while (is_blank(*s)) s++;
        char code[32];
        int c = 0;
        for (; !is_line_end(*s) && !is_blank(*s) && *s != ';'; s++) add_char(code, sizeof code, c, *s);
        code[c] = 0;
        const char* end = strchr(s, ';');
        if (!end) break;  // an operation without its ';' ends the reading
        char* field = nullptr;
        for (auto& op : ops)
            if (strcmp(code, op.code) == 0) field = op.field;
        if (field) {
            int k = 0;
            field[0] = 0;
            for (const char* t = s; t < end; t++)
                if (!is_blank(*t)) add_char(field, EPD_FIELD_SIZE, k, *t);
        }
        s = end + 1;
    }
    return 1;
}
