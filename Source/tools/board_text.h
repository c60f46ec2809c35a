// FEN text from a plain board of piece codes, for the tools and commands
// that build a board square by square (records, the editor, mirroring).
#pragma once
#include <cstdint>

// Writes "board side castling en-passant" into out (room for 100 bytes).
// Codes that are not pieces count as empty squares; castle uses the bits
// of the training record (1 K, 2 Q, 4 k, 8 q); ep is 64 for none.
void board_to_fen(const uint8_t codes[64], int side, int castle, int ep, char* out);
