// Writes an untrained network in the engine's network file format: the
// built-in layout with every weight drawn the way the engine's "new"
// network draws them, from a fixed seed so the file can be made again.
//   g++ -O2 -o /tmp/make_random_network tools/network/make_random_network.cpp
//   /tmp/make_random_network Source/eval/vorn.nn 20261208
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: make_random_network FILE SEED\n");
        return 2;
    }
    const int16_t header[12] = {805, 4096, 300, 2, 6, 0, 0, 1280, 1280, 0, 0, 0};
    const int64_t o = 1280, u = 1280, buckets = 2, b = o + u;
    const int64_t count = 768 * o * buckets + b + 8 * b;
    srand(unsigned(atoi(argv[2])));
    std::vector<unsigned char> out;
    auto put16 = [&](int v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(uint16_t(v) >> 8));
    };
    for (int16_t h : header) put16(h);
    for (int i = 0; i < 4; i++) out.push_back(uint8_t(uint32_t(count) >> (8 * i)));
    // The file holds weights times 4: loading scales them by 1024 / 4096.
    for (int64_t i = 0; i < count; i++) put16(4 * int(std::trunc(((rand() % 20000) * 0.0001 - 1) * 256)));
    FILE* f = fopen(argv[1], "wb");
    if (!f || fwrite(out.data(), 1, out.size(), f) != out.size() || fclose(f) != 0) {
        perror(argv[1]);
        return 1;
    }
    printf("%lld weights, %zu bytes\n", (long long)count, out.size());
    return 0;
}
