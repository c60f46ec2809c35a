// The EPD test-suite analyser: searches every position of an EPD file,
// scores the answers against bm, am and c0, and writes them as EPD.
#pragma once

// Writes the answers to out_name ("analysis.epd" when empty). The second
// form also writes to "tmp_0.epd" the positions after each good root move.
void analyse_epd(const char* epd_in, const char* out_name, bool second_form);
