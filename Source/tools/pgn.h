// Reading PGN games: the tokens of a game text and the parsed game record.
#pragma once
#include <cstdint>

constexpr int PGN_MAX_MOVES = 591;
constexpr int PGN_MOVE_CHARS = 7;
constexpr int PGN_FEN_SIZE = 100;
// Score of a comment that announces a mate.
constexpr int PGN_MATE_SCORE = 9000;

struct PgnGame {
    int32_t game_counter;     // games parsed into this record so far
    int16_t move_count;
    int16_t result;           // 1 White won, -1 Black won, 0 otherwise
    int16_t annotator_score;  // "eval=" in the Annotator tag
    char start_fen[PGN_FEN_SIZE];                      // FEN tag, empty when absent
    char moves[PGN_MAX_MOVES][PGN_MOVE_CHARS + 1];     // without '+', '#' and '='
    int16_t scores[PGN_MAX_MOVES];                     // centipawns from the comment after the move
};

// A token is a piece of the game text; it is not copied.
struct PgnToken {
    const char* start;
    int length;
};

// The next token at or after text: a quoted string, a tag, comment or
// variation up to its matching bracket, or a word up to the next blank.
// Returns the text after the token, or null (and an empty token) at the end.
const char* next_pgn_token(const char* text, PgnToken& token);

// Parses one game text into the record (the game counter goes up by one).
void parse_pgn_game(PgnGame& game, const char* text);
