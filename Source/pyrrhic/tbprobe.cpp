#include "tbprobe.h"
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include "../position/attacks.h"
#include "../system/output.h"

int tb_largest = 0;
int tb_num_wdl = 0, tb_num_dtm = 0, tb_num_dtz = 0;

namespace {

constexpr int TB_PIECES = 7;
constexpr int MAX_DIRS = 16;
constexpr int HASH_SLOTS = 4096;
constexpr int MAX_ENTRIES = 4096;
constexpr int MAX_CODE_LENGTH = 32;
enum FileKind { WDL_FILE = 0, DTZ_FILE = 1, DTM_FILE = 2 };
const char* const suffixes[3] = {".rtbw", ".rtbz", ".rtbm"};
const uint8_t magics[3][4] = {{0x71, 0xE8, 0x23, 0x5D}, {0xD7, 0x66, 0x0C, 0xA5}, {0x4B, 0x50, 0xAC, 0x88}};

// ---------------------------------------------------------------------------
// Index tables of the format's position encoding, filled once.

uint64_t binom[TB_PIECES + 1][65];  // binom[k][n] = n choose k
int pawn_twist[64];                  // order of the non-first leading pawns
int pawn_flap[64];                   // file (a-d) * 6 + rank - 1 of the first leading pawn
uint64_t pawn_index[6][24];          // offset of the first leading pawn's square within its file
uint64_t pawn_factor[6][4];          // leading-pawn placements per file
int16_t kk_index[10][64];            // king pairs, -1 where not a placement of the encoding
int triangle_of[64], lower_of[64], diag_of[64];
bool indices_ready = false;

// Square with its rank and file exchanged (mirror in the a1-h8 diagonal).
inline int flip_diag(int sq) { return ((sq >> 3) | (sq << 3)) & 63; }
// 0 on the a1-h8 diagonal, positive above it (rank > file), negative below.
inline int off_diag(int sq) { return rank_of(sq) - file_of(sq); }

void init_indices() {
    for (int n = 0; n <= 64; n++) {
        binom[0][n] = 1;
        for (int k = 1; k <= TB_PIECES; k++) binom[k][n] = n == 0 ? 0 : binom[k][n - 1] + binom[k - 1][n - 1];
    }
    // The first three pieces of a pawnless table: the first lies in the
    // triangle a1-d1-d4; off-diagonal triangle squares number 0..5, the
    // diagonal ones 6..9.
    static const int triangle_squares[10] = {1, 2, 3, 10, 11, 19, 0, 9, 18, 27};
    for (int sq = 0; sq < 64; sq++) triangle_of[sq] = -1;
    for (int i = 0; i < 10; i++) {
        int s = triangle_squares[i];
        // Every symmetric image of the square maps to the same number.
        for (int m = 0; m < 8; m++) {
            int t = s;
            if (m & 1) t ^= 7;
            if (m & 2) t ^= 56;
            if (m & 4) t = flip_diag(t);
            triangle_of[t] = i;
        }
    }
    for (int sq = 0, below = 0; sq < 64; sq++) {
        diag_of[sq] = off_diag(sq) == 0 ? file_of(sq) : -1;
        lower_of[sq] = off_diag(sq) < 0 ? below++ : -1;
    }
    // King pairs: the first king in the triangle (in its numbering order),
    // the second anywhere not next to it, and below the diagonal when the
    // first stands on it; pairs with both kings on the diagonal come last.
    int count = 0;
    for (int i = 0; i < 10; i++)
        for (int k2 = 0; k2 < 64; k2++) kk_index[i][k2] = -1;
    for (int pass = 0; pass < 2; pass++)
        for (int i = 0; i < 10; i++) {
            int k1 = triangle_squares[i];
            for (int k2 = 0; k2 < 64; k2++) {
                int df = file_of(k1) - file_of(k2), dr = rank_of(k1) - rank_of(k2);
                if (df >= -1 && df <= 1 && dr >= -1 && dr <= 1) continue;  // touching or the same square
                bool wanted = pass == 0 ? i < 6 || off_diag(k2) < 0 : i >= 6 && off_diag(k2) == 0;
                if (wanted) kk_index[i][k2] = int16_t(count++);
            }
        }
    // Leading pawns: the first one orders by file from the edge and then by
    // rank; the others by closeness to the centre files, then from rank 7 down.
    for (int sq = 0; sq < 64; sq++) {
        int f = file_of(sq), r = rank_of(sq);
        if (r == 0 || r == 7) {
            pawn_twist[sq] = pawn_flap[sq] = 0;
            continue;
        }
        int edge = f < 4 ? f : 7 - f;
        pawn_flap[sq] = edge * 6 + r - 1;
        int centre = f < 4 ? 3 - f : f - 4;
        pawn_twist[sq] = 12 * centre + 2 * (6 - r) + (f < 4 ? 1 : 0);
    }
    for (int t = 0; t < 6; t++) {
        for (int f = 0; f < 4; f++) {
            uint64_t s = 0;
            for (int r = 0; r < 6; r++) {
                int j = 6 * f + r;
                pawn_index[t][j] = s;
                int sq = (r + 1) * 8 + f;
                s += t == 0 ? 1 : binom[t][pawn_twist[sq]];
            }
            pawn_factor[t][f] = s;
        }
    }
    indices_ready = true;
}

// ---------------------------------------------------------------------------
// Table registry.

struct PairsData {
    const uint8_t* index_table;  // 6 bytes per entry: block (32 bits), offset (16 bits)
    const uint8_t* size_table;   // 16 bits per block: values in it minus one
    const uint8_t* data;         // the compressed blocks
    const uint8_t* file_end;     // reading ahead may run past a block, never past this
    const uint8_t* sym_pat;      // 3 bytes per symbol: two 12-bit halves
    const uint8_t* offsets;      // first symbol of each code length
    uint8_t* sym_len;            // values a symbol stands for, minus one
    uint64_t base[MAX_CODE_LENGTH + 1];
    uint64_t num_indices;
    uint32_t num_blocks, real_blocks;
    int block_size, idx_bits, min_len, max_len, num_syms;
    int single;  // the whole table holds one value
    int constant;
    uint8_t flags;
};

// Encoding of one (pawn file, side) part of a table.
struct EncInfo {
    PairsData pairs;
    uint8_t pieces[TB_PIECES];  // table piece codes in index order
    uint8_t norm[TB_PIECES];    // size of the group starting at each index
    uint64_t factor[TB_PIECES];
    uint64_t size;
};

// Decoding state of one mapped file.
struct FileInfo {
    EncInfo enc[4][2];  // [pawn file][side]; pawnless tables use file 0
    int files, sides;
    const uint8_t* dtz_map;
    int map_index[4][4];  // DTZ value maps by file and WDL class
    uint8_t dtz_flags[4];
    int wide_map;
};

enum : int { UNMAPPED = 0, READY = 1, FAILED = 2 };

struct TableFile {
    std::atomic<int> state;
    uint8_t* map;
    size_t length;
    FileInfo* info;
};

struct TableEntry {
    uint64_t key, key2;  // the signature, and with colours exchanged
    char name[16];
    int counts[2][8];
    uint8_t num, has_pawns, symmetric, has_dtm, has_dtz, kk_enc;
    uint8_t pawns[2];  // pawns of the leading colour and of the other
    uint8_t lead_code; // table piece code of the leading pawns
    TableFile wdl, dtz;
};

struct HashSlot {
    uint64_t key;
    TableEntry* entry;
};

char directories[MAX_DIRS][256];
int num_dirs = 0;
TableEntry* piece_entries = nullptr;
TableEntry* pawn_entries = nullptr;
int num_piece_entries = 0, num_pawn_entries = 0;
HashSlot hash_table[HASH_SLOTS];
std::mutex map_mutex;

inline int slot_of(uint64_t key) { return int(key >> 52); }

TableEntry* find_entry(uint64_t key) {
    for (int i = slot_of(key), n = 0; n < HASH_SLOTS; i = (i + 1) & (HASH_SLOTS - 1), n++) {
        if (!hash_table[i].entry) return nullptr;
        if (hash_table[i].key == key) return hash_table[i].entry;
    }
    return nullptr;
}

bool insert_key(uint64_t key, TableEntry* e) {
    for (int i = slot_of(key), n = 0; n < HASH_SLOTS; i = (i + 1) & (HASH_SLOTS - 1), n++) {
        if (!hash_table[i].entry) {
            hash_table[i].key = key;
            hash_table[i].entry = e;
            return true;
        }
        if (hash_table[i].key == key) return false;
    }
    return false;
}

// Opens the copy of name + suffix of kind in the first directory that
// holds a sound-looking one (a whole number of 64-byte blocks after the
// 16-byte head, and the kind's magic bytes), so that a damaged copy in
// one folder does not hide a good one in the next. When no copy looks
// sound the first that opens is returned, for the caller to report; -1
// when none opens.
int open_table_file(const char* name, int kind) {
    int first = -1;
    for (int d = 0; d < num_dirs; d++) {
        char path[320];
        snprintf(path, sizeof path, "%.255s/%.15s%.7s", directories[d], name, suffixes[kind]);
        int fd = open(path, O_RDONLY);
        if (fd < 0) continue;
        struct stat st;
        uint8_t magic[4];
        if (fstat(fd, &st) == 0 && st.st_size % 64 == 16 && pread(fd, magic, 4, 0) == 4 &&
            memcmp(magic, magics[kind], 4) == 0) {
            if (first >= 0) close(first);
            return fd;
        }
        if (first < 0) first = fd;
        else close(fd);
    }
    return first;
}

// 0 missing, 1 present and complete, -1 present but incomplete (reported).
int check_file(const char* name, int kind) {
    int fd = open_table_file(name, kind);
    if (fd < 0) return 0;
    struct stat st;
    int ok = fstat(fd, &st) == 0 && st.st_size % 64 == 16;
    close(fd);
    if (ok) return 1;
    fprintf(stderr, "Incomplete tablebase file %s.%s\n", name, suffixes[kind] + 1);
    engine_printf("info string Incomplete tablebase file %s.%s", name, suffixes[kind] + 1);
    return -1;
}

constexpr char piece_chars[] = " PNBRQK";

int type_of_letter(char c) {
    for (int t = 1; t <= 6; t++)
        if (piece_chars[t] == c) return t;
    return 0;
}

void register_table(const char* name) {
    TableEntry probe_entry = {};
    int colour = 0;
    for (const char* c = name; *c; c++) {
        if (*c == 'v') colour = 1;
        else probe_entry.counts[colour][type_of_letter(*c)]++;
    }
    uint64_t key = tb_material_key_counts(probe_entry.counts, 0);
    if (find_entry(key)) return;  // the same signature under its other name
    if (check_file(name, WDL_FILE) != 1) return;

    bool pawns = probe_entry.counts[0][1] + probe_entry.counts[1][1] > 0;
    int& used = pawns ? num_pawn_entries : num_piece_entries;
    if (used >= MAX_ENTRIES) return;
    TableEntry& e = pawns ? pawn_entries[used++] : piece_entries[used++];
    memcpy(e.counts, probe_entry.counts, sizeof e.counts);
    snprintf(e.name, sizeof e.name, "%s", name);
    e.key = key;
    e.key2 = tb_material_key_counts(e.counts, 1);
    e.symmetric = e.key == e.key2;
    e.has_pawns = pawns;
    int men = 0, unique = 0;
    for (int c = 0; c < 2; c++)
        for (int t = 1; t <= 6; t++) {
            men += e.counts[c][t];
            unique += e.counts[c][t] == 1;
        }
    e.num = uint8_t(men);
    e.kk_enc = unique == 2;
    if (pawns) {
        int w = e.counts[0][1], b = e.counts[1][1];
        bool black_leads = b > 0 && (w == 0 || b < w);
        e.pawns[0] = uint8_t(black_leads ? b : w);
        e.pawns[1] = uint8_t(black_leads ? w : b);
        e.lead_code = black_leads ? 9 : 1;
    }
    tb_num_wdl++;
    if (men > tb_largest) tb_largest = men;

    if (check_file(name, DTM_FILE) == 1) {
        e.has_dtm = 1;
        tb_num_dtm++;
        if (men > tb_largest) tb_largest = men;
    }
    if (check_file(name, DTZ_FILE) == 1) {
        e.has_dtz = 1;
        tb_num_dtz++;
    }
    insert_key(e.key, &e);
    if (!e.symmetric) insert_key(e.key2, &e);
}

// Every name whose sides list their letters strongest first.
void register_side_sets(int white_letters, int black_letters) {
    const char letters[] = "QRBNP";
    int w[5] = {}, b[5] = {};
    // Odometer over non-decreasing letter indices of each side.
    auto next = [](int* v, int n) {
        int i = n - 1;
        while (i >= 0 && v[i] == 4) i--;
        if (i < 0) return false;
        v[i]++;
        for (int j = i + 1; j < n; j++) v[j] = v[i];
        return true;
    };
    do {
        for (int j = 0; j < 5; j++) b[j] = 0;
        do {
            char name[16];
            int k = 0;
            name[k++] = 'K';
            for (int j = 0; j < white_letters; j++) name[k++] = letters[w[j]];
            name[k++] = 'v';
            name[k++] = 'K';
            for (int j = 0; j < black_letters; j++) name[k++] = letters[b[j]];
            name[k] = 0;
            register_table(name);
        } while (black_letters && next(b, black_letters));
    } while (next(w, white_letters));
}

// ---------------------------------------------------------------------------
// Reading the mapped header.

inline uint32_t read32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
inline uint16_t read16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint64_t read64_be(const uint8_t* p) {
    uint64_t v;
    memcpy(&v, p, 8);
    return __builtin_bswap64(v);
}
inline uint32_t read32_be(const uint8_t* p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return __builtin_bswap32(v);
}

struct Reader {
    const uint8_t* base;
    size_t length;
    size_t pos;
    bool fits(size_t n) const { return pos <= length && n <= length - pos; }
};

// Group sizes: the first group is the triangle trio, the king pair or the
// leading pawns (and the other colour's pawns); then runs of equal pieces.
void set_norm(const TableEntry& e, EncInfo& ei) {
    int n = e.num;
    memset(ei.norm, 0, sizeof ei.norm);
    int i;
    if (e.has_pawns) {
        ei.norm[0] = e.pawns[0];
        if (e.pawns[1]) ei.norm[e.pawns[0]] = e.pawns[1];
        i = e.pawns[0] + e.pawns[1];
    } else {
        ei.norm[0] = e.kk_enc ? 2 : 3;
        i = ei.norm[0];
    }
    while (i < n) {
        int j = i;
        while (j < n && ei.pieces[j] == ei.pieces[i]) j++;
        ei.norm[i] = uint8_t(j - i);
        i = j;
    }
}

// Multipliers of each group in the index: the groups take their places in
// the order the file gives (order for the first group, order2 for the
// other pawns); returns the number of index values.
uint64_t set_factors(const TableEntry& e, EncInfo& ei, int order, int order2, int file) {
    int n = e.num;
    int i = ei.norm[0];
    if (order2 < 15) i += ei.norm[i];
    int free_squares = 64 - i;
    uint64_t f = 1;
    for (int k = 0; i < n || k == order || k == order2; k++) {
        if (k > 16) return 0;
        if (k == order) {
            ei.factor[0] = f;
            f *= e.has_pawns ? pawn_factor[ei.norm[0] - 1][file] : e.kk_enc ? 462 : 31332;
        } else if (k == order2) {
            ei.factor[ei.norm[0]] = f;
            f *= binom[ei.norm[ei.norm[0]]][48 - ei.norm[0]];
        } else {
            ei.factor[i] = f;
            f *= binom[ei.norm[i]][free_squares];
            free_squares -= ei.norm[i];
            i += ei.norm[i];
        }
    }
    return f;
}

// The pieces of one part must be the table's men, leading pawns first.
bool pieces_match(const TableEntry& e, const EncInfo& ei) {
    int counts[16] = {};
    for (int i = 0; i < e.num; i++) {
        int c = ei.pieces[i];
        if ((c & 7) == 0 || (c & 7) == 7) return false;
        counts[c]++;
    }
    for (int c = 0; c < 2; c++)
        for (int t = 1; t <= 6; t++)
            if (counts[c * 8 + t] != (t == 6 ? 1 : e.counts[c][t])) return false;
    if (e.has_pawns)
        for (int i = 0; i < e.pawns[0]; i++)
            if (ei.pieces[i] != e.lead_code) return false;
    if (!e.has_pawns && !e.kk_enc) {
        // The triangle trio must be single men.
        for (int i = 0; i < 3; i++)
            if (counts[ei.pieces[i]] != 1) return false;
    }
    return true;
}

// Symbol lengths by depth-first walk; a symbol met again on its own path
// or one outside the table marks the file as corrupt.
bool symbol_length(PairsData& d, int s, uint8_t* state) {
    if (state[s] == 2) return true;
    if (state[s] == 1) return false;
    state[s] = 1;
    const uint8_t* w = d.sym_pat + 3 * s;
    int right = (w[2] << 4) | (w[1] >> 4);
    if (right == 0xFFF) {
        d.sym_len[s] = 0;
    } else {
        int left = ((w[1] & 15) << 8) | w[0];
        if (left >= d.num_syms || right >= d.num_syms) return false;
        if (!symbol_length(d, left, state) || !symbol_length(d, right, state)) return false;
        int len = d.sym_len[left] + d.sym_len[right] + 1;
        if (len > 255) return false;
        d.sym_len[s] = uint8_t(len);
    }
    state[s] = 2;
    return true;
}

// Header of one pair-compressed part; sizes of its index, size and data
// sections go to sizes[0..2].
bool setup_pairs(Reader& r, PairsData& d, uint64_t tb_size, uint64_t sizes[3], int wdl) {
    if (!r.fits(2)) return false;
    const uint8_t* h = r.base + r.pos;
    d.flags = h[0];
    if (h[0] & 0x80) {
        d.single = 1;
        d.constant = wdl ? h[1] : 0;
        r.pos += 2;
        sizes[0] = sizes[1] = sizes[2] = 0;
        return true;
    }
    if (!r.fits(12)) return false;
    d.single = 0;
    d.block_size = h[1];
    d.idx_bits = h[2];
    d.real_blocks = read32(h + 4);
    d.num_blocks = d.real_blocks + h[3];
    d.max_len = h[8];
    d.min_len = h[9];
    if (d.block_size > 32 || d.idx_bits < 1 || d.idx_bits > 40 || d.min_len < 1 || d.max_len > MAX_CODE_LENGTH ||
        d.min_len > d.max_len)
        return false;
    int lengths = d.max_len - d.min_len + 1;
    if (!r.fits(12 + 2 * size_t(lengths))) return false;
    d.offsets = h + 10;
    d.num_syms = read16(h + 10 + 2 * lengths);
    d.sym_pat = h + 12 + 2 * lengths;
    size_t header = 12 + 2 * size_t(lengths) + 3 * size_t(d.num_syms) + (d.num_syms & 1);
    if (d.num_syms == 0 || !r.fits(header)) return false;
    r.pos += header;

    d.num_indices = (tb_size + (uint64_t(1) << d.idx_bits) - 1) >> d.idx_bits;
    sizes[0] = 6 * d.num_indices;
    sizes[1] = 2 * uint64_t(d.num_blocks);
    sizes[2] = uint64_t(d.real_blocks) << d.block_size;

    d.sym_len = static_cast<uint8_t*>(calloc(size_t(d.num_syms), 2));
    if (!d.sym_len) return false;
    uint8_t* state = d.sym_len + d.num_syms;
    for (int s = 0; s < d.num_syms; s++)
        if (!symbol_length(d, s, state)) return false;

    // Canonical code: base[i] is the smallest left-aligned code of length
    // min_len + i.
    d.base[lengths - 1] = 0;
    for (int i = lengths - 2; i >= 0; i--)
        d.base[i] = (d.base[i + 1] + read16(d.offsets + 2 * i) - read16(d.offsets + 2 * (i + 1))) / 2;
    for (int i = 0; i < lengths; i++) d.base[i] <<= 64 - (d.min_len + i);
    return true;
}

bool take_section(Reader& r, const uint8_t*& where, uint64_t size) {
    if (size > r.length || !r.fits(size_t(size))) return false;
    where = r.base + r.pos;
    r.pos += size_t(size);
    return true;
}

bool align64(Reader& r) {
    r.pos = (r.pos + 63) & ~size_t(63);
    return r.pos <= r.length;
}

bool setup_file(const TableEntry& e, int kind, const uint8_t* base, size_t length, FileInfo& fi) {
    Reader r{base, length, 4};
    if (!r.fits(1)) return false;
    const uint8_t flags = base[4];
    r.pos = 5;
    if (bool(flags & 2) != bool(e.has_pawns)) return false;
    fi.files = e.has_pawns ? 4 : 1;
    fi.sides = kind == WDL_FILE && (flags & 1) ? 2 : 1;
    if (kind == WDL_FILE && !e.symmetric && fi.sides != 2) return false;

    const int order_bytes = e.has_pawns && e.pawns[1] ? 2 : 1;
    for (int f = 0; f < fi.files; f++) {
        if (!r.fits(size_t(order_bytes + e.num))) return false;
        const uint8_t* h = base + r.pos;
        for (int side = 0; side < fi.sides; side++) {
            EncInfo& ei = fi.enc[f][side];
            int shift = side ? 4 : 0;
            int order = (h[0] >> shift) & 15;
            int order2 = order_bytes == 2 ? (h[1] >> shift) & 15 : 15;
            for (int i = 0; i < e.num; i++) ei.pieces[i] = uint8_t((h[order_bytes + i] >> shift) & 15);
            if (!pieces_match(e, ei)) return false;
            set_norm(e, ei);
            ei.size = set_factors(e, ei, order, order2, f);
            if (!ei.size) return false;
        }
        r.pos += size_t(order_bytes + e.num);
    }
    r.pos += r.pos & 1;

    uint64_t sizes[4][2][3];
    for (int f = 0; f < fi.files; f++)
        for (int side = 0; side < fi.sides; side++)
            if (!setup_pairs(r, fi.enc[f][side].pairs, fi.enc[f][side].size, sizes[f][side], kind == WDL_FILE))
                return false;

    if (kind == DTZ_FILE) {
        fi.dtz_map = base + r.pos;
        fi.wide_map = 0;
        for (int f = 0; f < fi.files; f++) {
            uint8_t fl = fi.enc[f][0].pairs.flags;
            fi.dtz_flags[f] = fl;
            if (!(fl & 2)) continue;
            if (fl & 16) {
                // Sixteen-bit maps sit on even offsets and count in entries.
                fi.wide_map = 1;
                r.pos += r.pos & 1;
                for (int i = 0; i < 4; i++) {
                    if (!r.fits(2)) return false;
                    fi.map_index[f][i] = int((r.pos + 2 - size_t(fi.dtz_map - base)) / 2);
                    r.pos += 2 + 2 * size_t(read16(base + r.pos));
                }
            } else {
                for (int i = 0; i < 4; i++) {
                    if (!r.fits(1)) return false;
                    fi.map_index[f][i] = int(r.pos + 1 - size_t(fi.dtz_map - base));
                    r.pos += 1 + size_t(base[r.pos]);
                }
            }
        }
        r.pos += r.pos & 1;
        if (r.pos > r.length) return false;
    }

    for (int f = 0; f < fi.files; f++)
        for (int side = 0; side < fi.sides; side++)
            if (!take_section(r, fi.enc[f][side].pairs.index_table, sizes[f][side][0])) return false;
    for (int f = 0; f < fi.files; f++)
        for (int side = 0; side < fi.sides; side++)
            if (!take_section(r, fi.enc[f][side].pairs.size_table, sizes[f][side][1])) return false;
    for (int f = 0; f < fi.files; f++)
        for (int side = 0; side < fi.sides; side++) {
            if (!align64(r)) return false;
            if (!take_section(r, fi.enc[f][side].pairs.data, sizes[f][side][2])) return false;
            fi.enc[f][side].pairs.file_end = base + length;
        }
    return true;
}

void free_info(FileInfo* fi) {
    if (!fi) return;
    for (auto& file : fi->enc)
        for (auto& part : file) free(part.pairs.sym_len);
    free(fi);
}

void unmap_file(TableFile& f) {
    if (f.map) munmap(f.map, f.length);
    free_info(f.info);
    f.map = nullptr;
    f.info = nullptr;
    f.length = 0;
    f.state.store(UNMAPPED, std::memory_order_relaxed);
}

// Maps and decodes the header of one file on first use; later calls only
// read the state. Returns the decoding state, or nullptr when the file is
// not usable.
const FileInfo* map_table(TableEntry& e, int kind) {
    TableFile& tf = kind == WDL_FILE ? e.wdl : e.dtz;
    int state = tf.state.load(std::memory_order_acquire);
    if (state == READY) return tf.info;
    if (state == FAILED) return nullptr;

    std::lock_guard<std::mutex> guard(map_mutex);
    state = tf.state.load(std::memory_order_acquire);
    if (state != UNMAPPED) return state == READY ? tf.info : nullptr;

    int fd = open_table_file(e.name, kind);
    struct stat st;
    void* map = MAP_FAILED;
    if (fd >= 0 && fstat(fd, &st) == 0 && st.st_size > 0)
        map = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (fd >= 0) close(fd);
    if (map == MAP_FAILED) {
        // The engine plays on without this table rather than stopping.
        fprintf(stderr, "Could not map %s%s into memory.\n", e.name, suffixes[kind]);
        tf.state.store(FAILED, std::memory_order_release);
        return nullptr;
    }
    madvise(map, size_t(st.st_size), MADV_RANDOM);
    tf.map = static_cast<uint8_t*>(map);
    tf.length = size_t(st.st_size);

    FileInfo* fi = static_cast<FileInfo*>(calloc(1, sizeof(FileInfo)));
    bool ok = fi && tf.length >= 16 && memcmp(tf.map, magics[kind], 4) == 0 &&
              setup_file(e, kind, tf.map, tf.length, *fi);
    if (!ok) {
        fprintf(stderr, "Corrupted table.\n");
        free_info(fi);
        munmap(tf.map, tf.length);
        tf.map = nullptr;
        tf.length = 0;
        tf.state.store(FAILED, std::memory_order_release);
        return nullptr;
    }
    tf.info = fi;
    tf.state.store(READY, std::memory_order_release);
    return fi;
}

// ---------------------------------------------------------------------------
// Decoding.

// The value at idx, or -1 when the data do not hold together.
int decompress(const PairsData& d, uint64_t idx) {
    if (d.single) return d.constant;
    uint64_t main_idx = idx >> d.idx_bits;
    if (main_idx >= d.num_indices) return -1;
    int64_t lit = int64_t(idx & ((uint64_t(1) << d.idx_bits) - 1)) - (int64_t(1) << (d.idx_bits - 1));
    const uint8_t* entry = d.index_table + 6 * main_idx;
    uint32_t block = read32(entry);
    lit += read16(entry + 4);
    if (block >= d.num_blocks) return -1;
    if (lit < 0) {
        while (lit < 0) {
            if (block == 0) return -1;
            block--;
            lit += read16(d.size_table + 2 * block) + 1;
        }
    } else {
        while (lit > read16(d.size_table + 2 * block)) {
            lit -= read16(d.size_table + 2 * block) + 1;
            if (++block >= d.num_blocks) return -1;
        }
    }
    if (block >= d.real_blocks) return -1;

    const uint8_t* ptr = d.data + (size_t(block) << d.block_size);
    const uint8_t* end = d.file_end;
    if (ptr + 8 > end) return -1;
    uint64_t code = read64_be(ptr);
    ptr += 8;
    int bits = 0;  // bits of code already used up
    int sym;
    for (;;) {
        int l = 0;
        while (l < d.max_len - d.min_len && code < d.base[l]) l++;
        int len = d.min_len + l;
        sym = read16(d.offsets + 2 * l) + int((code - d.base[l]) >> (64 - len));
        if (sym >= d.num_syms) return -1;
        if (lit < int64_t(d.sym_len[sym]) + 1) break;
        lit -= int64_t(d.sym_len[sym]) + 1;
        code <<= len;
        bits += len;
        if (bits >= 32) {
            bits -= 32;
            // The last block's final symbols may sit in bits already read;
            // past the file end only zeros follow.
            if (ptr + 4 <= end) code |= uint64_t(read32_be(ptr)) << bits;
            ptr += 4;
        }
    }
    // Walk down the pair tree to the value the position falls on.
    for (int guard = 0; d.sym_len[sym] != 0; guard++) {
        if (guard > 4096) return -1;
        const uint8_t* w = d.sym_pat + 3 * sym;
        int left = ((w[1] & 15) << 8) | w[0];
        if (lit < int64_t(d.sym_len[left]) + 1) {
            sym = left;
        } else {
            lit -= int64_t(d.sym_len[left]) + 1;
            sym = (w[2] << 4) | (w[1] >> 4);
        }
    }
    const uint8_t* w = d.sym_pat + 3 * sym;
    return ((w[1] & 15) << 8) | w[0];
}

// Index part of the groups from index i on: each run of equal men is a
// combination of the squares that earlier men leave free (for the other
// colour's pawns, of the 48 pawn squares).
uint64_t encode_groups(const TableEntry& e, const EncInfo& ei, int* sq, int i, int pawn_group) {
    const int n = e.num;
    uint64_t idx = 0;
    while (i < n) {
        const int t = ei.norm[i];
        if (t < 1) return idx;
        for (int a = i; a < i + t; a++)
            for (int b = a + 1; b < i + t; b++)
                if (sq[a] > sq[b]) {
                    int x = sq[a];
                    sq[a] = sq[b];
                    sq[b] = x;
                }
        const int shift = i == pawn_group ? 8 : 0;
        uint64_t s = 0;
        for (int m = i; m < i + t; m++) {
            int below = 0;
            for (int k = 0; k < i; k++) below += sq[m] > sq[k];
            s += binom[m - i + 1][sq[m] - below - shift];
        }
        idx += s * ei.factor[i];
        i += t;
    }
    return idx;
}

// Index of a pawnless position; squares in the part's piece order.
uint64_t encode_pieces(const TableEntry& e, const EncInfo& ei, int* sq) {
    const int n = e.num;
    if (sq[0] & 4)
        for (int i = 0; i < n; i++) sq[i] ^= 7;
    if (sq[0] & 32)
        for (int i = 0; i < n; i++) sq[i] ^= 56;
    const int lead = e.kk_enc ? 2 : 3;
    for (int i = 0; i < n; i++) {
        if (off_diag(sq[i]) == 0) continue;
        // The first man off the diagonal among the leading group goes below it.
        if (i < lead && off_diag(sq[i]) > 0)
            for (int j = 0; j < n; j++) sq[j] = flip_diag(sq[j]);
        break;
    }
    uint64_t idx;
    int i;
    if (e.kk_enc) {
        idx = uint64_t(kk_index[triangle_of[sq[0]]][sq[1]]);
        i = 2;
    } else {
        int s1 = sq[1] > sq[0];
        int s2 = (sq[2] > sq[0]) + (sq[2] > sq[1]);
        if (off_diag(sq[0]))
            idx = uint64_t(triangle_of[sq[0]]) * 63 * 62 + uint64_t(sq[1] - s1) * 62 + uint64_t(sq[2] - s2);
        else if (off_diag(sq[1]))
            idx = 6 * 63 * 62 + uint64_t(diag_of[sq[0]]) * 28 * 62 + uint64_t(lower_of[sq[1]]) * 62 +
                  uint64_t(sq[2] - s2);
        else if (off_diag(sq[2]))
            idx = 6 * 63 * 62 + 4 * 28 * 62 + uint64_t(diag_of[sq[0]]) * 7 * 28 + uint64_t(diag_of[sq[1]] - s1) * 28 +
                  uint64_t(lower_of[sq[2]]);
        else
            idx = 6 * 63 * 62 + 4 * 28 * 62 + 4 * 7 * 28 + uint64_t(diag_of[sq[0]]) * 7 * 6 +
                  uint64_t(diag_of[sq[1]] - s1) * 6 + uint64_t(diag_of[sq[2]] - s2);
        i = 3;
    }
    return idx * ei.factor[0] + encode_groups(e, ei, sq, i, -1);
}

// Puts the leading pawn that decides the table part first; returns its
// file section 0..3 (a/h, b/g, c/f, d/e).
int pawn_file(const TableEntry& e, int* sq) {
    for (int i = 1; i < e.pawns[0]; i++)
        if (pawn_flap[sq[0]] > pawn_flap[sq[i]]) {
            int x = sq[0];
            sq[0] = sq[i];
            sq[i] = x;
        }
    int f = file_of(sq[0]);
    return f < 4 ? f : 7 - f;
}

// Index of a position with pawns; the leading pawns come first, the one
// that chose the file section at sq[0].
uint64_t encode_pawns(const TableEntry& e, const EncInfo& ei, int* sq) {
    const int n = e.num;
    if (sq[0] & 4)
        for (int i = 0; i < n; i++) sq[i] ^= 7;
    const int lead = ei.norm[0];
    for (int a = 1; a < lead; a++)
        for (int b = a + 1; b < lead; b++)
            if (pawn_twist[sq[a]] < pawn_twist[sq[b]]) {
                int x = sq[a];
                sq[a] = sq[b];
                sq[b] = x;
            }
    const int t = lead - 1;
    uint64_t idx = pawn_index[t][pawn_flap[sq[0]]];
    for (int i = t; i > 0; i--) idx += binom[t - i + 1][pawn_twist[sq[i]]];
    idx *= ei.factor[0];
    return idx + encode_groups(e, ei, sq, lead, e.pawns[1] ? lead : -1);
}

// Where a position's men stand in a table, colours and ranks turned as the
// table stores them.
struct Placement {
    TableEntry* entry;
    const FileInfo* info;
    int flip;    // 1: table white is the real black
    int mirror;  // 0x38 to turn the board upside down (pawn tables)
    int bside;   // side to move in table colours (0 white)
};

bool place(const TbPosition& p, int kind, Placement& pl, uint64_t key) {
    TableEntry* e = find_entry(key);
    if (!e) return false;
    if (kind == DTZ_FILE && !e->has_dtz) return false;
    const FileInfo* fi = map_table(*e, kind);
    if (!fi) return false;
    pl.entry = e;
    pl.info = fi;
    const int white_to_move = p.turn != 0;
    if (!e->symmetric) {
        pl.flip = key != e->key;
        pl.bside = pl.flip ? white_to_move : !white_to_move;
    } else {
        pl.flip = !white_to_move;
        pl.bside = 0;
    }
    pl.mirror = pl.flip ? 0x38 : 0;
    return true;
}

// Fills squares for pieces[from..num) of the part; false if the board does
// not hold what the part lists.
bool fill_squares(const TbPosition& p, const Placement& pl, const uint8_t* pieces, int from, int* sq) {
    const int n = pl.entry->num;
    int i = from;
    while (i < n) {
        int code = pieces[i];
        uint64_t b = tb_pieces(p, (code >> 3) ^ pl.flip, code & 7);
        if (!b) return false;
        while (b) {
            if (i >= n) return false;
            sq[i++] = pop_lsb(b) ^ (pl.entry->has_pawns ? pl.mirror : 0);
        }
    }
    return true;
}

// Table part and index of a position; -1 part on failure.
bool locate(const TbPosition& p, const Placement& pl, int side, int& file, uint64_t& idx) {
    const TableEntry& e = *pl.entry;
    const FileInfo& fi = *pl.info;
    int sq[TB_PIECES] = {};
    if (!e.has_pawns) {
        file = 0;
        const EncInfo& ei = fi.enc[0][side];
        if (!fill_squares(p, pl, ei.pieces, 0, sq)) return false;
        idx = encode_pieces(e, ei, sq);
        return idx < ei.size;
    }
    uint64_t b = tb_pieces(p, (e.lead_code >> 3) ^ pl.flip, 1);
    int i = 0;
    while (b) {
        if (i >= e.pawns[0]) return false;
        sq[i++] = pop_lsb(b) ^ pl.mirror;
    }
    if (i != e.pawns[0]) return false;
    file = pawn_file(e, sq);
    const EncInfo& ei = fi.enc[file][side];
    if (!fill_squares(p, pl, ei.pieces, e.pawns[0], sq)) return false;
    idx = encode_pawns(e, ei, sq);
    return idx < ei.size;
}

// Sound probe positions only: one king a side, at most seven men, colours apart.
bool sane(const TbPosition& p) {
    if (p.white & p.black) return false;
    if (popcount(p.kings & p.white) != 1 || popcount(p.kings & p.black) != 1) return false;
    return popcount(p.white | p.black) <= TB_PIECES;
}

int probe_wdl_table(const TbPosition& p, int& success) {
    uint64_t key = tb_material_key(p, 0);
    if (key == 0) return 0;  // kings only
    Placement pl;
    if (!place(p, WDL_FILE, pl, key)) {
        success = 0;
        return 0;
    }
    int side = pl.bside < pl.info->sides ? pl.bside : -1;
    int file;
    uint64_t idx;
    if (side < 0 || !locate(p, pl, side, file, idx)) {
        success = 0;
        return 0;
    }
    int v = decompress(pl.info->enc[file][side].pairs, idx);
    if (v < 0 || v > 4) {
        success = 0;
        return 0;
    }
    return v - 2;
}

// Stored DTZ of a position whose WDL value is wdl; success -1 when the
// file holds the other side to move only.
int probe_dtz_table(const TbPosition& p, int wdl, int& success) {
    uint64_t key = tb_material_key(p, 0);
    Placement pl;
    if (key == 0 || !place(p, DTZ_FILE, pl, key)) {
        success = 0;
        return 0;
    }
    const TableEntry& e = *pl.entry;
    const FileInfo& fi = *pl.info;
    int file = 0;
    uint64_t idx = 0;
    if (!e.has_pawns) {
        if ((fi.dtz_flags[0] & 1) != pl.bside && !e.symmetric) {
            success = -1;
            return 0;
        }
        if (!locate(p, pl, 0, file, idx)) {
            success = 0;
            return 0;
        }
    } else {
        // The stored side can differ by file section, so find the section first.
        int sq[TB_PIECES] = {};
        uint64_t b = tb_pieces(p, (e.lead_code >> 3) ^ pl.flip, 1);
        int n = 0;
        while (b && n < TB_PIECES) sq[n++] = pop_lsb(b) ^ pl.mirror;
        int f = pawn_file(e, sq);
        if ((fi.dtz_flags[f] & 1) != pl.bside) {
            success = -1;
            return 0;
        }
        if (!locate(p, pl, 0, file, idx)) {
            success = 0;
            return 0;
        }
    }
    int v = decompress(fi.enc[file][0].pairs, idx);
    if (v < 0) {
        success = 0;
        return 0;
    }
    const uint8_t flags = fi.dtz_flags[file];
    static const int wdl_to_map[5] = {1, 3, 0, 2, 0};
    static const uint8_t plies_flag[5] = {8, 0, 0, 0, 4};
    if (flags & 2) {
        size_t at = size_t(fi.map_index[file][wdl_to_map[wdl + 2]]) + size_t(v);
        const uint8_t* base = pl.entry->dtz.map;
        size_t room = pl.entry->dtz.length - size_t(fi.dtz_map - base);
        if (fi.wide_map) {
            if (2 * at + 2 > room) {
                success = 0;
                return 0;
            }
            v = read16(fi.dtz_map + 2 * at);
        } else {
            if (at >= room) {
                success = 0;
                return 0;
            }
            v = fi.dtz_map[at];
        }
    }
    if (!(flags & plies_flag[wdl + 2]) || (wdl & 1)) v *= 2;
    success = 1;
    return v;
}

// Alpha-beta over captures only; positions after a capture have no
// en-passant square.
int probe_ab(const TbPosition& p, int alpha, int beta, int& success) {
    TbMove moves[TB_MAX_MOVES];
    int n = tb_gen_captures(p, moves);
    TbPosition next;
    for (int i = 0; i < n; i++) {
        if (!tb_is_capture(p, moves[i]) || !tb_do_move(p, moves[i], next)) continue;
        int v = -probe_ab(next, -beta, -alpha, success);
        if (!success) return 0;
        if (v > alpha) {
            if (v >= beta) return v;
            alpha = v;
        }
    }
    int v = probe_wdl_table(p, success);
    return alpha >= v ? alpha : v;
}

constexpr int wdl_to_dtz[5] = {-1, -101, 0, 101, 1};

}  // namespace

int tb_probe_wdl(const TbPosition& p, int& success) {
    success = 0;
    if (!indices_ready || !sane(p)) return 0;
    success = 1;
    TbMove moves[TB_MAX_MOVES];
    int n = tb_gen_captures(p, moves);
    int best_cap = -3, best_ep = -3;
    TbPosition next;
    for (int i = 0; i < n; i++) {
        if (!tb_is_capture(p, moves[i]) || !tb_do_move(p, moves[i], next)) continue;
        int v = -probe_ab(next, -2, -best_cap, success);
        if (!success) return 0;
        if (v > best_cap) {
            if (v == 2) {
                success = 2;
                return 2;
            }
            if (!tb_is_en_passant(p, moves[i])) best_cap = v;
            else if (v > best_ep) best_ep = v;
        }
    }
    int v = probe_wdl_table(p, success);
    if (!success) return 0;

    // The table ignores en passant: an en-passant capture counts like the
    // other captures, except that it may be the only move of a position the
    // table sees as stalemate.
    if (best_ep > best_cap) {
        if (best_ep > v) {
            success = 2;
            return best_ep;
        }
        best_cap = best_ep;
    }
    if (best_cap >= v) {
        success = 1 + (best_cap > 0);
        return best_cap;
    }
    if (best_ep > -3 && v == 0) {
        TbMove all[TB_MAX_MOVES];
        int m = tb_gen_all(p, all);
        bool other = false;
        for (int i = 0; i < m && !other; i++)
            if (!tb_is_en_passant(p, all[i]) && tb_do_move(p, all[i], next)) other = true;
        if (!other && !tb_in_check(p)) {
            success = 2;
            return best_ep;
        }
    }
    return v;
}

int tb_probe_dtz(const TbPosition& p, int& success) {
    int wdl = tb_probe_wdl(p, success);
    if (!success) return 0;
    if (wdl == 0) return 0;
    if (success == 2) return wdl_to_dtz[wdl + 2];

    TbMove moves[TB_MAX_MOVES];
    int n = 0;
    TbPosition next;
    if (wdl > 0) {
        // A pawn move that keeps the win zeroes at once.
        n = tb_gen_all(p, moves);
        for (int i = 0; i < n; i++) {
            if (!(p.pawns >> tb_move_from(moves[i]) & 1) || tb_is_capture(p, moves[i])) continue;
            if (!tb_do_move(p, moves[i], next)) continue;
            int v = -tb_probe_wdl(next, success);
            if (!success) return 0;
            if (v == wdl) return v == 2 ? 1 : 101;
        }
    }

    // The best move is no en-passant capture, so the table value of the
    // position without en-passant rights is the one wanted.
    int dtz = probe_dtz_table(p, wdl, success);
    if (success >= 0) {
        if (!success) return 0;
        return wdl_to_dtz[wdl + 2] + (wdl > 0 ? dtz : -dtz);
    }

    // The file holds the other side to move: one ply of search.
    int best;
    if (wdl > 0) {
        best = INT_MAX;
    } else {
        // Zeroing moves of the losing side give -1 or -101.
        best = wdl_to_dtz[wdl + 2];
        n = tb_gen_all(p, moves);
    }
    for (int i = 0; i < n; i++) {
        if (tb_is_zeroing(p, moves[i])) continue;
        if (!tb_do_move(p, moves[i], next)) continue;
        int v = -tb_probe_dtz(next, success);
        if (!success) return 0;
        if (wdl > 0) {
            if (v > 0 && v + 1 < best) best = v + 1;
        } else if (v - 1 < best) {
            best = v - 1;
        }
    }
    if (best == INT_MAX) {
        success = 0;
        return 0;
    }
    success = 1;
    return best;
}

uint32_t tb_probe_root(const TbPosition& p) {
    int success;
    int dtz = tb_probe_dtz(p, success);
    if (!success) return TB_RESULT_FAILED;

    TbMove moves[TB_MAX_MOVES];
    int values[TB_MAX_MOVES];
    bool legal[TB_MAX_MOVES];
    int n = tb_gen_all(p, moves);
    int num_legal = 0, num_draw = 0;
    TbPosition next;
    for (int i = 0; i < n; i++) {
        legal[i] = tb_do_move(p, moves[i], next);
        if (!legal[i]) continue;
        num_legal++;
        int v;
        if (dtz > 0 && tb_is_mate(next)) {
            v = 1;
        } else if (next.rule50 != 0) {
            v = -tb_probe_dtz(next, success);
            if (v > 0) v++;
            else if (v < 0) v--;
        } else {
            v = wdl_to_dtz[-tb_probe_wdl(next, success) + 2];
        }
        if (!success) return TB_RESULT_FAILED;
        values[i] = v;
        num_draw += v == 0;
    }
    if (num_legal == 0) return tb_in_check(p) ? TB_RESULT_MATE : TB_RESULT_STALEMATE;

    int chosen = -1;
    if (dtz > 0) {
        for (int i = 0; i < n; i++)
            if (legal[i] && values[i] > 0 && (chosen < 0 || values[i] < values[chosen])) chosen = i;
    } else if (dtz < 0) {
        for (int i = 0; i < n; i++)
            if (legal[i] && values[i] < 0 && (chosen < 0 || values[i] < values[chosen])) chosen = i;
    } else if (num_draw > 0) {
        int count = int(tb_material_key(p, 0) % uint64_t(num_draw));
        for (int i = 0; i < n && chosen < 0; i++)
            if (legal[i] && values[i] == 0 && count-- == 0) chosen = i;
    }
    if (chosen < 0) return TB_RESULT_FAILED;

    int v = values[chosen];
    unsigned wdl = 2;
    if (v > 0) wdl = v + p.rule50 <= 100 ? 4 : 3;
    else if (v < 0) wdl = -v + p.rule50 <= 100 ? 0 : 1;
    unsigned magnitude = unsigned(v < 0 ? -v : v);
    if (magnitude > 4095) magnitude = 4095;
    TbMove m = moves[chosen];
    return wdl | unsigned(tb_move_to(m)) << 4 | unsigned(tb_move_from(m)) << 10 | unsigned(tb_move_promo(m)) << 16 |
           unsigned(tb_is_en_passant(p, m)) << 19 | magnitude << 20;
}

void tb_free() {
    for (int i = 0; i < num_piece_entries; i++) {
        unmap_file(piece_entries[i].wdl);
        unmap_file(piece_entries[i].dtz);
    }
    for (int i = 0; i < num_pawn_entries; i++) {
        unmap_file(pawn_entries[i].wdl);
        unmap_file(pawn_entries[i].dtz);
    }
    free(piece_entries);
    free(pawn_entries);
    piece_entries = pawn_entries = nullptr;
    num_piece_entries = num_pawn_entries = 0;
    memset(hash_table, 0, sizeof hash_table);
    tb_largest = 0;
    tb_num_wdl = tb_num_dtm = tb_num_dtz = 0;
    num_dirs = 0;
}

void tb_init(const char* path) {
    if (!indices_ready) init_indices();
    tb_free();
    if (!path || !path[0] || strcmp(path, "<empty>") == 0) return;

    for (const char* s = path; *s && num_dirs < MAX_DIRS;) {
        const char* end = strchr(s, ':');
        size_t len = end ? size_t(end - s) : strlen(s);
        if (len > 0 && len < sizeof directories[0]) {
            memcpy(directories[num_dirs], s, len);
            directories[num_dirs][len] = 0;
            num_dirs++;
        }
        if (!end) break;
        s = end + 1;
    }
    piece_entries = static_cast<TableEntry*>(calloc(MAX_ENTRIES, sizeof(TableEntry)));
    pawn_entries = static_cast<TableEntry*>(calloc(MAX_ENTRIES, sizeof(TableEntry)));
    if (!piece_entries || !pawn_entries) {
        printf("Out of memory.\n");
        exit(1);
    }
    static const int side_letters[][2] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {2, 2},
                                          {3, 1}, {4, 0}, {5, 0}, {4, 1}, {3, 2}};
    for (const auto& s : side_letters) register_side_sets(s[0], s[1]);
    engine_printf("info string Found %d WDL, %d DTM and %d DTZ tablebase files. Largest %d-men", tb_num_wdl,
                  tb_num_dtm, tb_num_dtz, tb_largest);
}
