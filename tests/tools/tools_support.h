// Helpers for the tool tests: files in and out of a temporary directory.
#pragma once
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::string data_file(const std::string& rel) { return std::string(VORN_DATA_DIR) + "/" + rel; }

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<std::string> file_lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
}

inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline bool contains(const std::vector<std::string>& v, const std::string& s) {
    for (auto& l : v)
        if (l == s) return true;
    return false;
}
