// Reading one EPD line: the position and the operations the tools use.
#pragma once

constexpr int EPD_FIELD_SIZE = 256;

// Every field is empty unless the line carries it. Operands have their
// blanks removed ("bm Nd5 a4;" reads as "Nd5a4").
struct EpdFields {
    char fen[128];                  // board, side, castling, en passant
    char ce[EPD_FIELD_SIZE];        // search score
    char sc[EPD_FIELD_SIZE];        // static score
    char gr[EPD_FIELD_SIZE];        // game result fraction
    char bm[EPD_FIELD_SIZE];        // best moves
    char am[EPD_FIELD_SIZE];        // moves to avoid
    char id[EPD_FIELD_SIZE];        // name
    char c0[EPD_FIELD_SIZE];        // comment (move=points lists)
};

// Fills the fields from the line; non-zero when the line held a position.
// Text beyond a field's size is cut off.
int parse_epd_line(const char* line, EpdFields& out);
