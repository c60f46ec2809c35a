// Conversions of training positions: EPD lines to 40-byte records, records
// back to EPD, and records to 68-byte feature records.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "../search/thread.h"
#include "epd.h"
#include "training_data.h"
#include "training_tools.h"

namespace {

int16_t to_int16(long v) { return int16_t(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

// Reads the next line of at most size - 1 characters; the rest of a longer
// line is dropped rather than read as a line of its own.
bool read_line(FILE* f, char* line, int size) {
    if (!fgets(line, size, f)) return false;
    if (!strchr(line, '\n')) {
        int c;
        while ((c = fgetc(f)) != EOF && c != '\n') {
        }
    }
    return true;
}

// Opens the records of bin_file and names the output with ext.
bool open_records(const char* bin_file, const char* ext, char* out_name, int size) {
    if (!replace_extension(bin_file, ".bin", ext, out_name, size)) return false;
    return read_training_file(bin_file) == 0;
}

}  // namespace

void epd_to_bin(const char* epd_in) {
    char out_name[200];
    if (!replace_extension(epd_in, ".epd", ".bin", out_name, sizeof out_name)) return;
    FILE* in = fopen(epd_in, "r");
    if (!in) {
        printf("can't open %s\n", epd_in);
        return;
    }
    RecordBuffer records;
    SearchThread* block = new_tool_block();
    if (!block || !reserve_records(records, 65536)) {
        free_tool_block(block);
        fclose(in);
        return;
    }
    printf("allocated %.0f Mbytes for training data.\n", double(records.capacity) * sizeof(TrainingRecord) / 1e6);
    printf("reading positions from file %s.\n", epd_in);
    auto* f = new EpdFields;
    char line[256];
    bool full = false;
    while (!full && read_line(in, line, sizeof line)) {
        const char* l = line;
        if (static_cast<unsigned char>(l[0]) == 0xEF && static_cast<unsigned char>(l[1]) == 0xBB) l += 3;
        if (l[0] == ' ' || l[0] == '#' || l[0] == ';' || strlen(l) < 20) continue;
        if (!parse_epd_line(l, *f)) continue;
        long ce = f->ce[0] ? strtol(f->ce, nullptr, 10) : -10000;
        long sc = f->sc[0] ? strtol(f->sc, nullptr, 10) : -10000;
        if (!f->ce[0] && !f->sc[0]) continue;
        if (!f->ce[0]) ce = sc;
        if (!f->sc[0]) sc = ce;
        double gr = f->gr[0] ? atof(f->gr) : score_to_probability(double(ce));
        if (set_fen(block->pos, f->fen) != 0) continue;
        sc = sc < -3000 ? -3000 : sc > 3000 ? 3000 : sc;
        double p = score_to_probability(double(sc));
        if (gr == 0.5 && (p > 0.9 || p < 0.1)) continue;
        if (gr == 0 && p > 0.8) continue;
        if (gr == 1 && p < 0.2) continue;
        TrainingRecord r;
        position_to_record(block->pos, r);
        r.result = int16_t(result_to_score(float(gr)));
        r.search_score = to_int16(ce);
        r.static_score = int16_t(sc);
        full = !add_record(records, r);
    }
    delete f;
    fclose(in);
    free_tool_block(block);
    printf("read %.0f positions.\n\n", double(records.count));
    FILE* out = fopen(out_name, "wb");
    if (out) {
        size_t written = fwrite(records.data, sizeof(TrainingRecord), size_t(records.count), out);
        fclose(out);
        printf("stored %d positions in %s.\n\n", int(written), out_name);
    } else {
        printf("can't open %s\n", out_name);
    }
    free_records(records);
}

namespace {

// Writes one output line or record per training record of bin_file into a
// file named with ext (opened in mode), through write(out, record,
// position). A record that holds no position gives nothing (the last good
// position would be written again under its scores otherwise).
template <typename Write>
void convert_records(const char* bin_file, const char* ext, const char* mode, Write write) {
    char out_name[200];
    if (!open_records(bin_file, ext, out_name, sizeof out_name)) return;
    FILE* out = fopen(out_name, mode);
    SearchThread* block = new_tool_block();
    if (out && block) {
        int64_t skipped = 0;
        for (int64_t i = 0; i < training_count; i++) {
            const TrainingRecord& r = training_records[i];
            if (!set_record_position(r, block->pos)) {
                skipped++;
                continue;
            }
            write(out, r, block->pos);
        }
        if (skipped) printf("skipped %lld records that hold no position.\n", (long long)skipped);
    }
    if (out) fclose(out);
    free_tool_block(block);
    release_training_file();
}

}  // namespace

void bin_to_epd(const char* bin_file) {
    convert_records(bin_file, ".epd", "w", [](FILE* out, const TrainingRecord& r, const Position& p) {
        char fen[128];
        get_fen(p, fen, 0);
        fprintf(out, "%s ce %d; sc %d; gr %0.1f;\n", fen, r.search_score, r.static_score,
                score_to_probability(r.result));
    });
}

void bin_to_ptb(const char* bin_file) {
    convert_records(bin_file, ".ptb", "wb", [](FILE* out, const TrainingRecord& r, const Position& p) {
        FeatureRecord f;
        position_features(p, f);
        f.target = record_target(r);
        fwrite(&f, sizeof f, 1, out);
    });
}
