// The start-up the training tools share: the engine's tables, quiet
// output and the built-in hand-crafted weights.
#pragma once
#include "eval/params.h"
#include "position/attacks.h"
#include "position/zobrist.h"
#include "shell/settings.h"

inline void start_training_tool() {
    init_tables();
    init_zobrist();
    set_default_settings();
    output_mode.noise = SILENT_NOISE;
    register_params();
    apply_param_text(builtin_param_text);
}
