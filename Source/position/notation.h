// Moves as text: coordinate output for the protocol, SAN and its variants
// for people, and parsing of any of these forms.
#pragma once
#include "position.h"

// How moves are written and read: castling as king-takes-rook (Chess960)
// and promotions as the protocol writes them (e7e8q) rather than for a
// person (e7e8=Q). The shell keeps it in step with its options.
struct NotationStyle {
    bool chess960 = false;
    bool protocol = true;
};
extern NotationStyle notation_style;

// Coordinate text (e2e4, e7e8q); castling as king-takes-rook when Chess960
// is on. out needs room for 8 characters.
void move_to_text(const Position& p, int side, Move m, char* out);
// The four accepted forms of a move; form 2 is the SAN. Each buffer needs
// room for 16 characters.
void move_texts(const Position& p, Move m, char* f1, char* f2, char* f3, char* f4);
// Whether the move attacks the enemy king directly once played.
int gives_check(const Position& p, int side, const MoveEntry& e);
// Finds the one legal move of p that the text names; the text is
// normalised in place (it needs room for two more characters). Returns 1
// and the move, or 0 (printing "ambiguous move" when several match).
int parse_move(const Position& p, char* text, Move& out);
