#include "pgn.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
static bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The end of a bracketed token that starts at s: nested brackets of the
// same kind count, quoted text inside a tag and comments inside a
// variation are passed over whole, so a bracket inside them closes nothing.
static const char* bracket_end(const char* s) {
    char open = *s, close = open == '(' ? ')' : open == '[' ? ']' : '}';
    int depth = 0;
    for (; *s; s++) {
        if (open == '[' && *s == '"') {
            s++;
            while (*s && *s != '"') s++;
            if (!*s) break;
            continue;
        }
        if (open == '(' && *s == '{') {
            while (*s && *s != '}') s++;
            if (!*s) break;
            continue;
        }
        if (*s == open) depth++;
        else if (*s == close && --depth == 0) return s + 1;
    }
    return s;
}

const char* next_pgn_token(const char* text, PgnToken& token) {
    token = {text, 0};
    if (!text) return nullptr;
    const char* s = text;
    while (is_space(*s)) s++;
    if (!*s) {
        token.start = s;
        return nullptr;
    }
    const char* end;
    if (*s == '"') {
        end = strchr(s + 1, '"');
        end = end ? end + 1 : s + strlen(s);
    } else if (*s == '(' || *s == '[' || *s == '{') {
        end = bracket_end(s);
    } else {
        // A word also ends where a comment or variation begins, which some
        // programs write without a blank before it.
        end = s;
        while (*end && !is_space(*end) && *end != '{' && *end != '(') end++;
    }
    token = {s, int(end - s)};
    return end;
}

static bool token_has(const PgnToken& t, const char* what) {
    size_t n = strlen(what);
    for (int i = 0; i + int(n) <= t.length; i++)
        if (memcmp(t.start + i, what, n) == 0) return true;
    return false;
}

// The tag name and the quoted value of a tag token "[Name "value"]".
static void read_tag(const PgnToken& t, char* name, int name_size, char* value, int value_size) {
    const char* s = t.start + 1;
    const char* end = t.start + t.length;
    while (s < end && is_space(*s)) s++;
    int n = 0;
    for (; s < end && !is_space(*s) && *s != '"' && *s != ']'; s++)
        if (n + 1 < name_size) name[n++] = *s;
    name[n] = 0;
    n = 0;
    const char* q = static_cast<const char*>(memchr(s, '"', size_t(end - s)));
    if (q)
        for (q++; q < end && *q != '"'; q++)
            if (n + 1 < value_size) value[n++] = *q;
    value[n] = 0;
}

// The score a comment gives the move before it.
static int comment_score(const PgnToken& t) {
    if (token_has(t, "book")) return 0;
    // The text between the brace and the first '/' (or the closing brace).
    char text[64];
    int n = 0;
    for (int i = 1; i < t.length; i++) {
        char c = t.start[i];
        if (c == '/' || (c == '}' && i == t.length - 1)) break;
        if (n + 1 < int(sizeof text)) text[n++] = c;
    }
    text[n] = 0;
    if (n <= 2) return INT16_MIN;  // too short to hold a score: the move keeps its own
    if (strstr(text, "-M")) return -PGN_MATE_SCORE;
    if (strstr(text, "+M")) return PGN_MATE_SCORE;
    // Rounded, so that a score written as 0.29 reads as 29 and not 28.
    double v = std::round(atof(text) * 100.0);
    if (v < -PGN_MATE_SCORE) v = -PGN_MATE_SCORE;
    if (v > PGN_MATE_SCORE) v = PGN_MATE_SCORE;
    return int(v);
}

// The move text inside a word, or null when the word is no move. A move
// number glued to the move ("1.e4", "12...Nf6") is taken off, and castling
// written with zeros counts as a move like the letter form.
static const char* move_start(const PgnToken& t, int& length) {
    const char* s = t.start;
    const char* end = t.start + t.length;
    if (s < end && *s >= '0' && *s <= '9') {
        if (t.length >= 3 && memcmp(s, "0-0", 3) == 0 && (t.length == 3 || s[3] != '0')) {
            length = t.length;
            return s;
        }
        while (s < end && *s >= '0' && *s <= '9') s++;
        if (s == end || *s != '.') return nullptr;
        while (s < end && *s == '.') s++;
    }
    if (s == end || !is_letter(*s)) return nullptr;
    length = int(end - s);
    return s;
}

void parse_pgn_game(PgnGame& game, const char* text) {
    game.game_counter++;
    game.result = 0;
    game.start_fen[0] = 0;
    game.annotator_score = 0;
    game.move_count = 0;
    int count = 0;
    PgnToken t;
    for (const char* s = text; (s = next_pgn_token(s, t)) != nullptr;) {
        char c = t.start[0];
        if (c == '[') {
            char name[32], value[256];
            read_tag(t, name, sizeof name, value, sizeof value);
            if (strcmp(name, "Result") == 0) {
                game.result = strstr(value, "1-0") ? 1 : strstr(value, "0-1") ? -1 : 0;
            } else if (strcmp(name, "FEN") == 0) {
                snprintf(game.start_fen, sizeof game.start_fen, "%.*s", PGN_FEN_SIZE - 1, value);
            } else if (strcmp(name, "Termination") == 0) {
                // Games that did not end on the board say nothing about their
                // positions; the record keeps no moves of them.
                if (strstr(value, "unterminated") || strstr(value, "time forfeit") || strstr(value, "abandoned"))
                    return;
            } else if (strcmp(name, "Annotator") == 0) {
                if (const char* e = strstr(value, "eval=")) game.annotator_score = int16_t(atoi(e + 5));
            }
        } else if (c == '{') {
            int score = comment_score(t);
            if (count > 0 && score != INT16_MIN) game.scores[count - 1] = int16_t(score);
        } else {
            int length = 0;
            const char* m = move_start(t, length);
            if (!m) continue;
            int n = 0;
            for (int i = 0; i < length && n < PGN_MOVE_CHARS; i++)
                if (m[i] != '+' && m[i] != '#' && m[i] != '=') game.moves[count][n++] = m[i];
            game.moves[count][n] = 0;
            game.scores[count] = 0;
            if (++count >= PGN_MAX_MOVES) break;
        }
    }
    game.move_count = int16_t(count);
}
