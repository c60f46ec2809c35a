// Loading the network: from a file, from the copy built into the program,
// or as a fresh random network. A file is checked whole before anything is
// replaced, so a bad file never leaves a half-loaded network in use.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <ctime>
#include <vector>
#include "../system/large_memory.h"
#include "../system/output.h"
#include "network.h"

Network network;

extern "C" const unsigned char embedded_network_data[];
extern "C" const unsigned char embedded_network_end[];

namespace {

constexpr int HEADER_BYTES = 2 * NN_HEADER_FIELDS;
constexpr int PREFIX_BYTES = HEADER_BYTES + 4;  // header and the stored count
constexpr int16_t NEW_HEADER[NN_HEADER_FIELDS] = {805, 4096, 300, 2, 6, 0, 0, 1280, 1280, 0, 0, 0};

inline int16_t read16(const unsigned char* p) { return int16_t(uint16_t(p[0] | p[1] << 8)); }

inline int16_t scaled(int w, int divisor) {
    long v = std::lround(double(w) * 1024.0 / double(divisor));
    return int16_t(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}

void set_blocks(Network& n) {
    const int16_t* hd = n.header;
    n.o = hd[NN_WHITE_ACC];
    n.u = hd[NN_BLACK_ACC];
    n.m = hd[NN_MATERIAL];
    n.h = hd[NN_HIDDEN];
    n.buckets = hd[NN_INPUT_BUCKETS];
    n.rows = n.h > 0 ? n.h : 8;
    const int16_t* w = n.weights;
    n.features = w;
    w += int64_t(768) * n.o * n.buckets;
    n.material_weights = w;
    w += 10 * n.m;
    n.white_bias = w;
    w += n.o;
    n.black_bias = w;
    w += n.u;
    n.material_bias = w;
    w += n.m;
    n.hidden_bias = w;
    w += n.h;
    n.block_a = w;
    w += int64_t(n.rows) * n.o;
    n.block_b = w;
    w += int64_t(n.rows) * n.u;
    n.block_c = w;
    w += int64_t(n.rows) * n.m;
    n.final_weights = n.h > 0 ? w : nullptr;
}

int16_t* allocate_weights(int64_t count) {
    size_t bytes = (size_t(count) * 2 + 63) / 64 * 64 + 64;
    auto* w = static_cast<int16_t*>(allocate_large(bytes));
    if (!w) {
        engine_print("allocating memory for net failed!");
        exit(1);
    }
    memset(w, 0, bytes);
    return w;
}

void install(Network& fresh) {
    free(network.weights);
    uint32_t generation = network.generation + 1;
    network = fresh;
    network.generation = generation;
    set_blocks(network);
}

// Bytes a network file must have by its header (the prefix's first
// bytes), 0 when the header describes no possible layout.
uint64_t image_bytes(const unsigned char* prefix, Network& fresh) {
    for (int i = 0; i < NN_HEADER_FIELDS; i++) fresh.header[i] = read16(prefix + 2 * i);
    for (int i = 0; i < NN_HEADER_FIELDS; i++)
        if (i == 5 || i == 6 || i == 11) fresh.header[i] = 0;  // reserved
    const int divisor = fresh.header[NN_WEIGHT_DIVISOR];
    const int64_t n = network_weight_count(fresh.header);
    if (n < 0 || divisor <= 0) return 0;
    return uint64_t(PREFIX_BYTES) + uint64_t(n) * (divisor < 128 ? 1 : 2);
}

// A network image in memory: header, count, weights. Checked against its
// own header before a byte is used. noise_weight adds the training noise.
int load_image(const unsigned char* data, size_t size, const char* name, float noise_weight) {
    if (size < size_t(PREFIX_BYTES)) {
        engine_printf("info string network %s is too short for its header", name);
        return 0;
    }
    Network fresh = {};
    const uint64_t need = image_bytes(data, fresh);
    if (!need) {
        engine_printf("info string network %s has an impossible layout", name);
        return 0;
    }
    const int divisor = fresh.header[NN_WEIGHT_DIVISOR];
    const int64_t n = network_weight_count(fresh.header);
    const bool eight_bit = divisor < 128;
    if (size != need) {
        engine_printf("info string network %s has %llu bytes where its header needs %llu", name,
                      (unsigned long long)size, (unsigned long long)need);
        return 0;
    }
    fresh.count = n;
    fresh.weights = allocate_weights(n);
    const unsigned char* p = data + PREFIX_BYTES;
    for (int64_t i = 0; i < n; i++) {
        int w = eight_bit ? int(int8_t(p[i])) : int(read16(p + 2 * i));
        int16_t v = scaled(w, divisor);
        if (noise_weight != 0) {
            double r = (rand() % 20000) * 0.0001;
            double x = std::trunc(double(v) + (r - 1) * 1024.0 * noise_weight);
            v = int16_t(x > 32767 ? 32767 : x < -32768 ? -32768 : x);
        }
        fresh.weights[i] = v;
    }
    install(fresh);
    return 1;
}

int load_embedded() {
    size_t size = size_t(embedded_network_end - embedded_network_data);
    if (!load_image(embedded_network_data, size, "embedded", 0)) return 0;
    if (output_mode.noise < SILENT_NOISE) engine_print("info string loaded embedded network");
    return 1;
}

int load_random() {
    engine_print("new net...");
    Network fresh = {};
    memcpy(fresh.header, NEW_HEADER, sizeof NEW_HEADER);
    fresh.count = network_weight_count(fresh.header);
    fresh.weights = allocate_weights(fresh.count);
    srand(unsigned(time(nullptr)) ^ unsigned(clock()));
    for (int64_t i = 0; i < fresh.count; i++)
        fresh.weights[i] = int16_t(std::trunc(((rand() % 20000) * 0.0001 - 1) * 256));
    install(fresh);
    engine_print("created new NN");
    return 1;
}

int load_file(const char* path, float train_weight) {
    FILE* f = fopen(path, "rb");
    if (!f) {
        engine_printf("info string can't open %s", path);
        return 0;
    }
    // The header says how many bytes the file must hold; only those are
    // read, so a device or a huge file of anything else is refused unread.
    std::vector<unsigned char> data(PREFIX_BYTES);
    size_t got = fread(data.data(), 1, data.size(), f);
    Network layout = {};
    const uint64_t need = got == data.size() ? image_bytes(data.data(), layout) : 0;
    struct stat st;
    if (need && fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) != need) {
        fclose(f);
        engine_printf("info string network %s has %llu bytes where its header needs %llu", path,
                      (unsigned long long)st.st_size, (unsigned long long)need);
        return 0;
    }
    if (need) {
        data.resize(size_t(need));
        got += fread(data.data() + PREFIX_BYTES, 1, size_t(need) - PREFIX_BYTES, f);
        // One byte more than the header allows is a file of another layout.
        if (got == need && fgetc(f) != EOF) got++;
        if (got < need) data.resize(got);
    } else {
        data.resize(got);
    }
    fclose(f);
    if (need && got > need) {
        engine_printf("info string network %s is longer than its header needs (%llu bytes)", path,
                      (unsigned long long)need);
        return 0;
    }
    if (!load_image(data.data(), data.size(), path, train_weight)) return 0;
    engine_printf("info string loaded %s", path);
    return 1;
}

}  // namespace

int64_t network_weight_count(const int16_t* hd) {
    const int64_t o = hd[NN_WHITE_ACC], u = hd[NN_BLACK_ACC], m = hd[NN_MATERIAL], h = hd[NN_HIDDEN];
    const int64_t buckets = hd[NN_INPUT_BUCKETS];
    // Both perspectives read the same feature rows, so their widths must agree.
    if (o <= 0 || u != o || o > 8192 || m < 0 || m > 4096 || h < 0 || h > 4096 || buckets < 1 || buckets > 64)
        return -1;
    const int64_t b = o + u + m;
    if (h > 0) return 768 * o * buckets + 10 * m + b + h * (b + 1) + 8 * h;
    return 768 * o * buckets + 10 * m + b + 8 * b;
}

bool network_loaded() { return network.weights != nullptr; }

int load_network(const char* name, float train_weight) {
    int ok;
    if (strcmp(name, "embedded") == 0) ok = load_embedded();
    else if (strcmp(name, "new") == 0) ok = load_random();
    else ok = load_file(name, train_weight);
    // Without any network the built-in one stands in.
    if (!ok && !network_loaded()) load_embedded();
    return ok;
}

int save_network(const char* path, const int16_t* header, const int16_t* weights, int64_t count) {
    FILE* f = fopen(path, "wb");
    if (!f) return 0;
    unsigned char b[4];
    bool ok = true;
    for (int i = 0; i < NN_HEADER_FIELDS; i++) {
        b[0] = uint8_t(header[i]);
        b[1] = uint8_t(uint16_t(header[i]) >> 8);
        ok &= fwrite(b, 1, 2, f) == 2;
    }
    uint32_t c = uint32_t(count);
    for (int i = 0; i < 4; i++) b[i] = uint8_t(c >> (8 * i));
    ok &= fwrite(b, 1, 4, f) == 4;
    std::vector<unsigned char> out(size_t(count) * 2);
    for (int64_t i = 0; i < count; i++) {
        out[2 * i] = uint8_t(weights[i]);
        out[2 * i + 1] = uint8_t(uint16_t(weights[i]) >> 8);
    }
    ok &= fwrite(out.data(), 1, out.size(), f) == out.size();
    ok &= fclose(f) == 0;
    return ok;
}
