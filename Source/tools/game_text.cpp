#include <cstring>
#include "pgn_tools.h"

void clear_game_text(GameText& g) {
    g.length = 0;
    g.text[0] = 0;
}

void add_game_line(GameText& g, const char* line) {
    int n = int(strcspn(line, "\r\n"));
    if (g.length + n + 1 > GAME_TEXT_SIZE - 1001) return;  // at most 126999 characters
    memcpy(g.text + g.length, line, size_t(n));
    g.length += n;
    g.text[g.length++] = ' ';  // the line end becomes a blank
    g.text[g.length] = 0;
}

const char* skip_bom(const char* line) { return strncmp(line, "\xEF\xBB\xBF", 3) == 0 ? line + 3 : line; }

bool is_tag_line(const char* line) { return skip_bom(line)[0] == '['; }
