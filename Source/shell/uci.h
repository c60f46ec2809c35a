// The command reader and the driver loop of the interactive engine.
#pragma once
#include <cstdint>
#include "../search/search_limits.h"

// Polls standard input; acts on one whole line when one is waiting. End of
// input counts as quit.
void read_command();
// 1 in the interactive engine; the tools clear it so that a closed input
// does not stop their searches.
extern uint8_t end_of_input_quits;
// Waits for the next whole input line (console dialogs such as the board
// editor); 1 with the line in out, -1 at the end of input.
int read_input_line(char* out, int size);
// Acts on one input line, as read_command does with a line it has read.
void handle_line(const char* line);
// The limits the last go command asked for (with the session's clock).
const SearchLimits& last_go_limits();
// Runs searches for go commands and prints their results until quit.
void driver_loop();

// Identity given in reply to uci and in the greeting.
extern const char* const engine_name;
extern const char* const engine_author;
