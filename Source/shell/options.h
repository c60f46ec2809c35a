// The engine options: their announcement, processing of one name and value,
// and the configuration file that applies options from name = value lines.
#pragma once

void announce_options();
// Applies one option; ignored while a search runs.
void set_option(const char* name, const char* value);
// Reads the file named by config_file; 1 when it was read, 0 when it could
// not be opened.
int read_config_file();

