// Helpers for the book tests: reading and writing book files byte by byte
// (independently of the engine's own entry code), replaying move texts and
// keeping the settings of one test from leaking into the next.
#pragma once
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "book/polyglot.h"
#include "position/notation.h"
#include "shell/settings.h"
#include "../support/board_text.h"
#include "../support/test_position.h"

struct RawEntry {
    uint64_t key;
    uint16_t move, weight;
    uint32_t learn;
};

inline std::vector<RawEntry> read_book(const std::string& path) {
    std::vector<RawEntry> out;
    std::ifstream f(path, std::ios::binary);
    unsigned char b[16];
    while (f.read(reinterpret_cast<char*>(b), 16)) {
        RawEntry e{0, 0, 0, 0};
        for (int i = 0; i < 8; i++) e.key = e.key << 8 | b[i];
        e.move = uint16_t(b[8] << 8 | b[9]);
        e.weight = uint16_t(b[10] << 8 | b[11]);
        e.learn = uint32_t(b[12]) << 24 | uint32_t(b[13]) << 16 | uint32_t(b[14]) << 8 | b[15];
        out.push_back(e);
    }
    return out;
}

inline void write_book(const std::string& path, const std::vector<RawEntry>& entries) {
    std::ofstream f(path, std::ios::binary);
    for (auto& e : entries) {
        unsigned char b[16];
        for (int i = 0; i < 8; i++) b[i] = uint8_t(e.key >> (56 - 8 * i));
        b[8] = uint8_t(e.move >> 8), b[9] = uint8_t(e.move);
        b[10] = uint8_t(e.weight >> 8), b[11] = uint8_t(e.weight);
        for (int i = 0; i < 4; i++) b[12 + i] = uint8_t(e.learn >> (24 - 8 * i));
        f.write(reinterpret_cast<char*>(b), 16);
    }
}

inline std::vector<RawEntry> entries_of(const std::vector<RawEntry>& book, uint64_t key) {
    std::vector<RawEntry> out;
    for (auto& e : book)
        if (e.key == key) out.push_back(e);
    return out;
}

// A book move in the file's own encoding from square names: "e1h1", "f2g1n".
inline uint16_t book_code(const char* text) {
    int from = sq(text), to = sq(text + 2), promo = 0;
    if (text[4]) promo = text[4] == 'n' ? 1 : text[4] == 'b' ? 2 : text[4] == 'r' ? 3 : 4;
    return uint16_t(promo << 12 | from << 6 | to);
}

inline std::string data_path(const std::string& rel) { return std::string(VORN_DATA_DIR) + "/" + rel; }

// Restores every setting a test changed.
struct SettingsGuard {
    EngineSettings saved = settings;
    SettingsGuard() {
        output_mode.uci_mode = 0;
        output_mode.noise = SILENT_NOISE;  // no candidate lists on standard output
        settings.book_variety = 25;
        settings.chess960 = 0;
    }
    ~SettingsGuard() { settings = saved; }
};
