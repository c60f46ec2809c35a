#include "book_probe.h"
#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../position/movegen.h"
#include "../position/notation.h"
#include "../system/output.h"

static bool read_entry(FILE* f, int64_t index, BookEntry& e) {
    unsigned char raw[BOOK_ENTRY_SIZE];
    if (fseeko(f, off_t(index) * BOOK_ENTRY_SIZE, SEEK_SET) != 0) return false;
    if (fread(raw, 1, sizeof raw, f) != sizeof raw) return false;
    e = decode_book_entry(raw);
    return true;
}

int read_book_entries(const char* file_name, uint64_t key, BookEntry* out, int max) {
    if (!file_name || !file_name[0]) return 0;
    FILE* f = fopen(file_name, "rb");
    if (!f) return 0;
    // A directory opens for reading on this system; only a plain file can
    // hold entries.
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        fclose(f);
        return 0;
    }
    int64_t n = int64_t(st.st_size) / BOOK_ENTRY_SIZE;
    // First entry whose key is not below the one sought.
    int64_t lo = 0, hi = n;
    while (lo < hi) {
        int64_t mid = lo + (hi - lo) / 2;
        BookEntry e;
        if (!read_entry(f, mid, e)) {
            fclose(f);
            return 0;
        }
        if (e.key < key) lo = mid + 1;
        else hi = mid;
    }
    int count = 0;
    BookEntry e;
    for (int64_t i = lo; i < n && count < max; i++) {
        if (!read_entry(f, i, e) || e.key != key) break;
        out[count++] = e;
    }
    fclose(f);
    return count;
}

int64_t book_shares(const BookEntry* entries, int n, int variety, int64_t* shares, int64_t& sum_weights) {
    sum_weights = 0;
    for (int i = 0; i < n; i++) sum_weights += entries[i].weight;
    if (n == 0 || sum_weights == 0) return 0;
    int64_t h = int64_t((variety - 25) * (entries[0].weight * 0.01));
    int64_t total = 0;
    for (int i = 0; i < n; i++) {
        int64_t a = (h + entries[i].weight) * 10000 / sum_weights;
        shares[i] = a < 0 ? 0 : a;
        total += shares[i];
    }
    return total;
}

int pick_book_entry(const BookEntry* entries, const int64_t* shares, int n, int64_t threshold) {
    int chosen = -1;
    int64_t sum = 0;
    for (int i = 0; i < n; i++) {
        if (entries[i].weight == 0) continue;
        // A threshold of 0 (one draw in a thousand) lies below no running
        // sum: it falls to the first entry with a share, not to no move.
        if (sum < threshold || (chosen < 0 && shares[i] > 0)) chosen = i;
        sum += shares[i];
    }
    return chosen;
}

// The stored move only counts when it is one of the position's own legal
// moves: a foreign or damaged file must never put a made-up move on the board.
Move legal_book_move(const Position& p, uint16_t book_move) {
    Move m = book_move_to_move(book_move);
    if (!m) return 0;
    MoveEntry list[MAX_MOVES];
    gen_all(p, list);
    for (MoveEntry* e = list; e->move != MOVE_END; e++)
        if (e->move == m) return is_legal(p, p.side, m) ? m : 0;
    return 0;
}

// The console lists the book's candidates only while the report delay is
// below this: a console session set to be quiet does not want them.
constexpr float BOOK_NOTES_NOISE = 9999.0f;

Move book_probe(const Position& p, const char* file_name, int variety) {
    BookEntry entries[BOOK_MAX_MOVES];
    int n = read_book_entries(file_name, polyglot_key(p), entries, BOOK_MAX_MOVES);
    if (n == 0) return 0;
    int64_t shares[BOOK_MAX_MOVES], sum_weights = 0;
    int64_t total = book_shares(entries, n, variety, shares, sum_weights);
    if (sum_weights == 0) return 0;
    int64_t threshold = int64_t((rand() % 1000) * (total * 0.001));

    bool uci = output_mode.uci_mode;
    bool console_notes = !uci && output_mode.noise < BOOK_NOTES_NOISE;
    char line[64 + BOOK_MAX_MOVES * 10] = "info string ( book moves are: ";
    size_t used = strlen(line);
    for (int i = 0; i < n; i++) {
        if (entries[i].weight == 0) continue;
        char text[16];
        move_to_text(p, p.side, book_move_to_move(entries[i].move), text);
        if (uci) {
            used += size_t(snprintf(line + used, sizeof line - used, "%s ", text));
        } else if (console_notes) {
            engine_printf("  %s  cnt= %5d, weight= %5.2f%% -> %5.2f%%", text, entries[i].weight,
                          entries[i].weight * 100.0 / double(sum_weights),
                          total ? shares[i] * 100.0 / double(total) : 0.0);
        }
    }
    int chosen = pick_book_entry(entries, shares, n, threshold);
    Move result = chosen < 0 ? 0 : legal_book_move(p, entries[chosen].move);
    if (uci) {
        snprintf(line + used, sizeof line - used, " )");
        engine_print(line);
    } else if (console_notes) {
        engine_printf("selecting %s%s", square_names[move_from(result)], square_names[move_to(result)]);
    }
    return result;
}
