// Coordinate texts of the legal moves of a position, worked out in the
// test process, to judge the moves the engine answers with.
#pragma once
#include <string>
#include <vector>

// The position reached from fen by the given coordinate moves (each must be
// legal), and its legal moves as coordinate texts (castling as e1g1).
std::vector<std::string> legal_texts(const std::string& fen, const std::vector<std::string>& moves);
bool is_legal_text(const std::string& fen, const std::vector<std::string>& moves, const std::string& move);
