#include "book_build.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../position/history.h"
#include "../position/makemove.h"
#include "../position/notation.h"
#include "polyglot.h"

namespace {

constexpr int REPLAY_PLIES = 36;
constexpr int INDEX_BITS = 14;
constexpr int INDEX_SIZE = 1 << INDEX_BITS;
constexpr int CHUNK_NODES = 4096;

struct BookNode {
    uint64_t key;
    uint32_t wins, losses, draws;  // for the side that played the move
    Move move;
    BookNode* next;
};

// Nodes are handed out from large chunks so that a big PGN file does not
// cost one allocation per move.
struct NodeChunk {
    NodeChunk* next;
    int used;
    BookNode nodes[CHUNK_NODES];
};

enum GameResult { WHITE_WON, BLACK_WON, DRAWN, UNUSABLE };

struct Builder {
    BookNode* index[INDEX_SIZE];  // by the top 14 key bits; each list in key order
    NodeChunk* chunks;
    Position pos;
    GameHistory history;  // the moves made on pos
    GameResult result;
    int plies;
    int comment_depth, variation_depth;
    bool in_tags;      // the last line that was not blank was a tag line
    bool fen_in_tags;  // a FEN tag among the tags of the game being read
    bool out_of_memory;
    BookBuildTotals totals;
};

BookNode* new_node(Builder& b) {
    if (!b.chunks || b.chunks->used == CHUNK_NODES) {
        auto* c = static_cast<NodeChunk*>(malloc(sizeof(NodeChunk)));
        if (!c) return nullptr;
        c->next = b.chunks;
        c->used = 0;
        b.chunks = c;
    }
    return &b.chunks->nodes[b.chunks->used++];
}

void free_nodes(Builder& b) {
    while (b.chunks) {
        NodeChunk* next = b.chunks->next;
        free(b.chunks);
        b.chunks = next;
    }
}

// The node of (key, move), made in key order when new; null without memory.
BookNode* find_node(Builder& b, uint64_t key, Move m) {
    BookNode** link = &b.index[key >> (64 - INDEX_BITS)];
    while (*link && (*link)->key < key) link = &(*link)->next;
    while (*link && (*link)->key == key) {
        if ((*link)->move == m) return *link;
        link = &(*link)->next;
    }
    BookNode* n = new_node(b);
    if (!n) return nullptr;
    *n = {key, 0, 0, 0, m, *link};
    *link = n;
    b.totals.nodes++;
    return n;
}

void start_game(Builder& b, const char* line) {
    set_fen(b.pos, start_fen);
    b.totals.games++;
    if (b.totals.games % 1024 == 0) printf(".");
    b.plies = 0;
    // A comment left open by a damaged game must not swallow the next one.
    b.comment_depth = b.variation_depth = 0;
    if (b.fen_in_tags) b.result = UNUSABLE;
    else if (strstr(line, "1-0")) b.result = WHITE_WON;
    else if (strstr(line, "0-1")) b.result = BLACK_WON;
    else if (strstr(line, "1/2")) b.result = DRAWN;
    else b.result = UNUSABLE;
}

// The move text of a token, or null when the token is no move. A move
// number glued to the move ("1.e4", "12...Nf6") is written by many programs
// and is taken off; so are the "!", "?" and "#" marks after a move.
const char* move_text(const char* token, char* buf, size_t size) {
    const char* t = token;
    if (*t >= '0' && *t <= '9' && !(t[0] == '0' && t[1] == '-')) {
        while (*t >= '0' && *t <= '9') t++;
        if (*t != '.') return nullptr;
        while (*t == '.') t++;
    }
    bool letter = (*t >= 'a' && *t <= 'z') || (*t >= 'A' && *t <= 'Z');
    if (!letter && !(t[0] == '0' && t[1] == '-')) return nullptr;
    size_t n = strlen(t);
    if (n + 3 > size) return nullptr;
    memcpy(buf, t, n + 1);
    while (n > 0 && (buf[n - 1] == '!' || buf[n - 1] == '?' || buf[n - 1] == '#')) buf[--n] = 0;
    return buf;
}

// Plays one move token; false when it does not read as a legal move.
bool play_token(Builder& b, const char* text, bool& out_of_memory) {
    char buf[32];
    if (!move_text(text, buf, sizeof buf)) return true;  // not a move: nothing to do
    Position& p = b.pos;
    uint64_t key = polyglot_key(p);
    Move m;
    if (!parse_move(p, buf, m)) return false;
    int mover = p.side;
    make_move(p, m);
    b.plies++;
    BookNode* n = find_node(b, key, m);
    if (!n) {
        out_of_memory = true;
        return false;
    }
    if (b.result == DRAWN) n->draws++;
    else if ((b.result == WHITE_WON) == (mover == WHITE)) n->wins++;
    else n->losses++;
    return true;
}

// One line of move text: tokens split at blanks, with parentheses and
// braces as tokens of their own; comments and variations are skipped with
// their nesting counted across lines.
bool read_move_text(Builder& b, const char* line) {
    bool moves_wanted = true, out_of_memory = false;
    const char* s = line;
    while (*s) {
        if (*s == ' ' || *s == '\t' || *s == '\r' || *s == '\n') {
            s++;
            continue;
        }
        char c = *s;
        if (c == '{' || c == '}' || c == '(' || c == ')') {
            s++;
            if (b.comment_depth > 0) {
                if (c == '{') b.comment_depth++;
                if (c == '}') b.comment_depth--;
            } else if (c == '{') {
                b.comment_depth++;
            } else if (c == '(') {
                b.variation_depth++;
            } else if (c == ')' && b.variation_depth > 0) {
                b.variation_depth--;
            }
            continue;
        }
        char token[1024];
        size_t n = 0;
        while (*s && !strchr(" \t\r\n{}()", *s)) {
            if (n + 1 < sizeof token) token[n++] = *s;
            s++;
        }
        token[n] = 0;
        if (b.comment_depth > 0 || b.variation_depth > 0) continue;
        if (token[0] == ';') break;  // the rest of the line is a comment
        if (token[0] == '$' || !moves_wanted) continue;
        if (b.plies >= REPLAY_PLIES) continue;
        // A token that does not read ends the use of this line's moves;
        // the nesting of what follows on it is still counted.
        if (!play_token(b, token, out_of_memory)) moves_wanted = false;
        if (out_of_memory) return false;
    }
    return true;
}

void read_line(Builder& b, const char* line) {
    if (line[0] == '[' && b.comment_depth == 0) {
        // The first tag after move text opens the next game's tags: until its
        // Result tag comes, its moves belong to no usable game.
        if (!b.in_tags) {
            b.in_tags = true;
            b.fen_in_tags = false;
            b.result = UNUSABLE;
        }
    }
    if (strstr(line, "[Result ")) {
        start_game(b, line);
        return;
    }
    if (strstr(line, "[FEN ")) {
        // Games from a set-up position are left out.
        b.result = UNUSABLE;
        b.fen_in_tags = true;
        return;
    }
    if (line[0] == '[' || line[0] == ';') return;
    const char* s = line;
    while (*s == ' ' || *s == '\t' || *s == '\r' || *s == '\n') s++;
    if (!*s) return;
    b.in_tags = false;
    if (b.result == UNUSABLE) return;
    if (!read_move_text(b, line)) b.out_of_memory = true;
}

struct KeptMove {
    Move move;
    int32_t score;
    uint16_t weight;
};

// Writes one key group: the moves that did well enough, weighed and
// sorted by weight, highest first. Returns the entries written.
int write_group(FILE* f, const BookNode* first, const BookNode* end) {
    KeptMove kept[MAX_MOVES];
    int n = 0;
    int32_t top = 0;
    for (const BookNode* x = first; x != end && n < MAX_MOVES; x = x->next) {
        uint32_t floor = x->losses > 4 ? x->losses : 4;
        if (uint64_t(x->wins) + x->draws <= floor) continue;
        int64_t score = int64_t(x->draws) + 4 * int64_t(x->wins) - 2 * int64_t(x->losses);
        if (score > INT32_MAX) score = INT32_MAX;
        kept[n++] = {x->move, int32_t(score), 0};
        if (score > top) top = int32_t(score);
    }
    // Weights are 16 bits wide: a group whose best score is above 60000 is
    // scaled down as a whole.
    double scale = top > 60000 ? 60000.0 / top : 1.0;
    for (int i = 0; i < n; i++) {
        int32_t s = kept[i].score < 0 ? 0 : kept[i].score;
        kept[i].weight = uint16_t(s * scale);
    }
    for (int i = 1; i < n; i++) {  // stable: equal weights keep their order
        KeptMove k = kept[i];
        int j = i;
        for (; j > 0 && kept[j - 1].weight < k.weight; j--) kept[j] = kept[j - 1];
        kept[j] = k;
    }
    int written = 0;
    for (int i = 0; i < n; i++) {
        BookEntry e = {first->key, move_to_book_move(kept[i].move), kept[i].weight, 0};
        unsigned char raw[BOOK_ENTRY_SIZE];
        encode_book_entry(e, raw);
        if (f && fwrite(raw, 1, sizeof raw, f) == sizeof raw) written++;
    }
    return written;
}

int write_book(Builder& b, const char* book_name) {
    remove(book_name);
    FILE* f = fopen(book_name, "wb");
    if (!f) return 0;
    int written = 0;
    for (int i = 0; i < INDEX_SIZE; i++) {
        const BookNode* x = b.index[i];
        while (x) {
            const BookNode* end = x;
            while (end && end->key == x->key) end = end->next;
            written += write_group(f, x, end);
            x = end;
        }
    }
    if (fclose(f) != 0) written = 0;
    return written;
}

}  // namespace

int build_book_file(const char* pgn_name, const char* book_name, BookBuildTotals& totals) {
    totals = {0, 0, 0};
    FILE* in = pgn_name && pgn_name[0] ? fopen(pgn_name, "r") : nullptr;
    if (!in) return -1;
    auto* b = static_cast<Builder*>(calloc(1, sizeof(Builder)));
    if (!b) {
        fclose(in);
        return -1;
    }
    b->pos.history = &b->history;
    b->result = UNUSABLE;
    set_fen(b->pos, start_fen);
    printf(" Creating file %s from games in %s\n", book_name, pgn_name);

    char line[1024];
    bool first = true;
    while (!b->out_of_memory && fgets(line, sizeof line, in)) {
        // A byte-order mark before the first tag would hide that tag.
        const char* text = line;
        if (first && strncmp(line, "\xEF\xBB\xBF", 3) == 0) text += 3;
        first = false;
        read_line(*b, text);
    }
    fclose(in);
    if (b->out_of_memory) {
        // Without memory the book would be a random part of the games: the
        // tool ends without writing one.
        free_nodes(*b);
        free(b);
        return -1;
    }

    printf("\nwriting book file ...");
    b->totals.written = write_book(*b, book_name);
    printf("\nngames= %d, nmoves= %d\n", b->totals.games, b->totals.nodes);
    printf("book contains %d moves\n", b->totals.written);
    printf("done\n");
    totals = b->totals;
    free_nodes(*b);
    free(b);
    return 0;
}

void build_book(const char* pgn_in) {
    BookBuildTotals totals;
    build_book_file(pgn_in, "tmp_book.bin", totals);
}
