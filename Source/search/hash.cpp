#include "hash.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>
#include "../position/attacks.h"
#include "../position/makemove.h"
#include "../position/movegen.h"
#include "../position/zobrist.h"
#include "../system/large_memory.h"
#include "../system/output.h"
#include "search_options.h"
#include "thread.h"

uint8_t hash_use = 1;

namespace {

HashEntry* table = nullptr;
HashEntry* half[2] = {nullptr, nullptr};
uint64_t entry_count = 0;  // B / 16
uint64_t index_mask = 0;
bool in_use = false;
int16_t age = 0, age_step = 1;
float fill = 0;

constexpr uint64_t pack_data(Move move, int eval, int score, int depth, int flags) {
    return uint64_t(move) | uint64_t(uint16_t(eval)) << 16 | uint64_t(uint16_t(score)) << 32 |
           uint64_t(uint8_t(int8_t(depth))) << 48 | uint64_t(uint8_t(flags)) << 56;
}
inline Move data_move(uint64_t d) { return Move(d); }
inline int data_eval(uint64_t d) { return int16_t(d >> 16); }
inline int data_score(uint64_t d) { return int16_t(d >> 32); }
inline int data_depth(uint64_t d) { return int8_t(d >> 48); }
inline int data_flags(uint64_t d) { return uint8_t(d >> 56); }

inline uint32_t check_word(uint64_t key, int score, Move move) {
    return uint32_t(key >> 32) ^ (uint32_t(int32_t(score)) + (uint32_t(move) << 16) + 12000u);
}

inline HashEntry* window(int side, uint64_t key) { return half[side] + (key & index_mask); }
inline HashEntry* window(const Position& p) { return window(p.side, p.key); }

// The two lines stay together under the search lock.
void report_illegal_hash_move(const Position& p, Move m, int problem) {
    char fen[128], text[160];
    get_fen(p, fen, 0);
    search_lock.lock();
    engine_printf("info fen %s", fen);
    snprintf(text, sizeof text, "info string illegal hash move: %s%s, flags= %x, code= %d\n\n",
             square_names[move_from(m)], square_names[move_to(m)], m & FLAG_MASK, problem);
    engine_print(text);
    search_lock.unlock();
}

void zero_range(HashEntry* from, uint64_t n) { memset(static_cast<void*>(from), 0, n * sizeof(HashEntry)); }

}  // namespace

int hash_in_use() { return in_use; }
uint64_t hash_entry_count() { return entry_count; }
uint64_t hash_index_mask() { return index_mask; }
float hashfull_fraction() { return fill; }

void release_hash() {
    free(table);
    table = half[0] = half[1] = nullptr;
    in_use = false;
    entry_count = index_mask = 0;
}

int allocate_hash(int size_mb, bool report) {
    init_zobrist();
    release_hash();
    uint64_t mb = uint64_t(size_mb < 0 ? 0 : size_mb);
    uint64_t bytes = mb << 20;
    entry_count = bytes / 16;
    if (mb) {
        table = static_cast<HashEntry*>(allocate_large((entry_count + 16) * sizeof(HashEntry)));
        if (!table) {
            entry_count = 0;
            return 0;
        }
        uint64_t per_half = bytes / 32;
        half[0] = table;
        half[1] = table + per_half + 8;
        uint64_t pow2 = 1;
        while (pow2 * 2 <= per_half) pow2 *= 2;
        index_mask = pow2 - 1;
        in_use = true;
    }
    if (report) engine_printf("info string allocated %d Mbytes for hash table", int(mb));
    clear_hash();
    if (report) engine_print("info string cleared hash table");
    return 1;
}

void clear_hash() {
    fill = 0;
    if (!table) return;
    uint64_t total = entry_count + 16;
    int threads = effective_threads();
    if (threads == 1 || entry_count <= 524288) {
        zero_range(table, total);
        return;
    }
    std::vector<std::thread> workers;
    uint64_t slice = (total + threads - 1) / threads;
    for (int i = 0; i < threads; i++) {
        uint64_t from = uint64_t(i) * slice;
        if (from >= total) break;
        uint64_t n = from + slice > total ? total - from : slice;
        try {
            workers.emplace_back(zero_range, table + from, n);
        } catch (...) {
            exit(255);
        }
    }
    for (std::thread& w : workers) {
        try {
            w.join();
        } catch (...) {
            exit(255);
        }
    }
}

void new_search_age() {
    if (age <= 0) age_step = 1;
    if (age > 30) age_step = -1;
    age = int16_t(age + age_step);
}

void reset_hash_age() {
    age = 0;
    age_step = 1;
}

void prefetch_hash(const Position& p) {
    if (in_use) __builtin_prefetch(window(p));
}

void prefetch_after(const Position& p, Move m) {
    if (in_use) __builtin_prefetch(window(p.side ^ 1, key_after(p, m)));
}

int probe(const Position& p, HashHit& hit) {
    if (!in_use) return 0;
    SearchThread* t = p.thread;
    if (t) t->hash_probes++;
    HashEntry* e = window(p);
    uint32_t lock = uint32_t(p.key);
    for (int i = 0; i < 4; i++, e++) {
        uint64_t k = e->key_word.load(std::memory_order_relaxed);
        if (uint32_t(k) != lock) continue;
        uint64_t d = e->data_word.load(std::memory_order_relaxed);
        int depth = data_depth(d), flags = data_flags(d);
        int entry_age = flags & 31;
        if (entry_age != age) {
            int diff = entry_age > age ? entry_age - age : age - entry_age;
            depth -= 2 * diff;
            if (depth < -128) depth = -128;
            d = pack_data(data_move(d), data_eval(d), data_score(d), depth, (flags & 0xE0) | age);
            e->data_word.store(d, std::memory_order_relaxed);
        }
        // The check word ties the key to this score and move: a torn or
        // foreign entry fails it.
        uint64_t k2 = e->key_word.load(std::memory_order_relaxed);
        if (k2 != k || uint32_t(k >> 32) != check_word(p.key, data_score(d), data_move(d))) return 0;
        Move m = data_move(d);
        int problem = hash_move_problem(p, m);
        if (problem) {
            report_illegal_hash_move(p, m, problem);
            e->data_word.store(d & ~uint64_t(0xFFFF), std::memory_order_relaxed);
            return 0;
        }
        if (t) t->hash_hits++;
        hit.score = data_score(d);
        hit.eval = data_eval(d);
        hit.depth = depth;
        hit.move = m;
        hit.bound = flags >> 5;
        return 1;
    }
    return 0;
}

void store(const Position& p, int ply, int depth, Move move, int eval, int score, int bound) {
    if (!in_use || !move) return;
    if (score < -9799) score -= ply;
    else if (score > 9798) score += ply;
    if (depth < -1) depth = -1;
    HashEntry* e = window(p);
    uint32_t lock = uint32_t(p.key);
    HashEntry* target = nullptr;
    HashEntry* shallowest = nullptr;
    int shallowest_depth = 0;
    for (int i = 0; i < 4; i++) {
        uint64_t k = e[i].key_word.load(std::memory_order_relaxed);
        uint64_t d = e[i].data_word.load(std::memory_order_relaxed);
        if (uint32_t(k) == lock) {
            if (data_depth(d) - 2 <= depth) target = &e[i];
            else return;
            break;
        }
        if ((data_flags(d) & 31) != age) {
            target = &e[i];
            break;
        }
        if (!shallowest || data_depth(d) < shallowest_depth) {
            shallowest = &e[i];
            shallowest_depth = data_depth(d);
        }
    }
    if (!target) target = shallowest;
    target->data_word.store(pack_data(move, eval, score, depth, age + bound * 32), std::memory_order_relaxed);
    uint64_t key_word = uint64_t(lock) | uint64_t(check_word(p.key, int16_t(score), move)) << 32;
    target->key_word.store(key_word, std::memory_order_relaxed);
}

int score_from_hash(int score, int stored_depth, int depth, int ply) {
    if (score < -9798) return score + ply;
    if (score > 9798) return score - ply;
    if (stored_depth > depth) return score - (stored_depth - depth) * score / 256;
    return score;
}

void update_hashfull() {
    if (!in_use || entry_count < 3000) {
        fill = 0;
        return;
    }
    int n = 0;
    for (int h = 0; h < 2; h++)
        for (int i = 0; i < 500; i++)
            if ((data_flags(half[h][i].data_word.load(std::memory_order_relaxed)) & 31) == age) n++;
    fill = n * 0.001f;
}

int hash_move_problem(const Position& p, Move m) {
    int from = move_from(m), to = move_to(m);
    int us = p.side, them = us ^ 1;
    int piece = p.board[from], target = p.board[to];
    bool castling = (m & FLAG_MASK) && piece && piece_type(piece) == KING;
    // In Chess960 a king that already stands on its castling square (g1
    // or c1) castles without moving: that move's origin is its target.
    const bool king_stays = castling && from == to;
    if (from == to && !king_stays) return 1;
    if (!piece || (target == make_piece(us, KING) && !king_stays)) return 2;
    if (piece_colour(piece) != us) return 3;
    if (target && piece_colour(target) == us && !castling) return 4;
    if (target == make_piece(them, KING)) return 5;
    Bitboard occ = occupancy(p);
    int type = piece_type(piece);
    Move flags = m & FLAG_MASK;
    if (flags && type != PAWN && type != KING) return 6;
    switch (type) {
        case PAWN: {
            int d = us == WHITE ? 8 : -8;
            bool last = rank_of(to) == (us == WHITE ? 7 : 0);
            if (last != (flags != 0)) return 7;
            if (flags != PROMO_Q && flags != PROMO_N && flags != PROMO_B && flags != PROMO_R && flags) return 7;
            if (to == from + d) return target ? 7 : 0;
            if (to == from + 2 * d) {
                int start = us == WHITE ? 1 : 6;
                return (rank_of(from) == start && !target && !p.board[from + d]) ? 0 : 7;
            }
            if (pawn_attacks[us][from] & bit(to)) {
                if (target) return 0;
                return to == p.ep_square ? 0 : 7;
            }
            return 7;
        }
        case KNIGHT:
            if (!(knight_attacks[from] & bit(to))) return 8;
            break;
        case BISHOP:
            if (!(bishop_attacks(from, occ) & bit(to))) return 9;
            break;
        case ROOK:
            if (!(rook_attacks(from, occ) & bit(to))) return 10;
            break;
        case QUEEN:
            if (!((bishop_attacks(from, occ) | rook_attacks(from, occ)) & bit(to))) return 11;
            break;
        case KING:
            if (flags) {
                int right = us * 2 + ((flags == FLAG_QS) ? 1 : 0);
                bool ok = (flags == FLAG_KS || flags == FLAG_QS) && (p.castle & (1 << right)) &&
                          rank_of(from) == (us == WHITE ? 0 : 7) && from == p.king_sq[us] &&
                          to == square_of(flags == FLAG_KS ? 6 : 2, rank_of(from)) &&
                          !(p.castle_path[right] & occ);
                if (!ok) return 12;
            } else if (!(king_attacks[from] & bit(to))) {
                return 12;
            }
            break;
    }
    return is_legal(p, us, m) ? 0 : 14;
}
