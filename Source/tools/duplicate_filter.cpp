// -filtertraindata: drops records whose position came before, keeping the
// keys seen in 16384 buckets of at most 54930 keys each.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include "../search/thread.h"
#include "../system/output.h"
#include "training_data.h"
#include "training_tools.h"

namespace {

constexpr int BUCKETS = 16384;
constexpr int BUCKET_KEYS = 54930;

// A bucket grows as keys arrive, up to its fixed limit, so small files
// do not pay for the 7 GB the full table would take.
struct KeyBucket {
    uint64_t* keys;
    int count, capacity;
};

bool bucket_has(const KeyBucket& b, uint64_t key) {
    for (int i = 0; i < b.count; i++)
        if (b.keys[i] == key) return true;
    return false;
}

bool bucket_add(KeyBucket& b, uint64_t key) {
    if (b.count >= BUCKET_KEYS) return false;
    if (b.count == b.capacity) {
        int want = b.capacity ? b.capacity * 2 : 16;
        if (want > BUCKET_KEYS) want = BUCKET_KEYS;
        auto* grown = static_cast<uint64_t*>(realloc(b.keys, size_t(want) * sizeof(uint64_t)));
        if (!grown) return false;
        b.keys = grown;
        b.capacity = want;
    }
    b.keys[b.count++] = key;
    return true;
}

// The time of day, where the filter once ran the shell's "time /t".
void print_time_stamp() {
    time_t now = time(nullptr);
    char text[32];
    strftime(text, sizeof text, "%H:%M:%S", localtime(&now));
    printf("%s\n", text);
}

}  // namespace

void filter_train_data(const char* bin_file) {
    if (!strstr(bin_file, ".bin")) return;
    printf("filtering duplicates from %s\n", bin_file);
    print_time_stamp();
    if (read_training_file(bin_file) != 0) return;
    FILE* out = fopen("filtered.bin", "wb");
    auto* buckets = static_cast<KeyBucket*>(calloc(BUCKETS, sizeof(KeyBucket)));
    SearchThread* block = new_tool_block();
    if (out && buckets && block) {
        int64_t written = 0;
        for (int64_t i = 0; i < training_count; i++) {
            const TrainingRecord& r = training_records[i];
            if (!set_record_position(r, block->pos)) continue;  // no position, nothing to keep
            // The side to move belongs to the position: the same board with
            // the other side to move is another training position.
            uint64_t key = block->pos.key ^ (block->pos.side ? 0x9D39247E33776D41ull : 0);
            KeyBucket& b = buckets[key & (BUCKETS - 1)];
            if (bucket_has(b, key)) continue;
            if (!bucket_add(b, key)) engine_print("?");
            fwrite(&r, sizeof r, 1, out);
            written++;
        }
        int most = 0;
        for (int i = 0; i < BUCKETS; i++)
            if (buckets[i].count > most) most = buckets[i].count;
        printf("max block count is %d\n", most);
        printf("wrote %d positions to filtered.bin\n\n", int(written));
        print_time_stamp();
    }
    if (out) fclose(out);
    if (buckets)
        for (int i = 0; i < BUCKETS; i++) free(buckets[i].keys);
    free(buckets);
    free_tool_block(block);
    release_training_file();
}
