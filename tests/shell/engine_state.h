// In-process engine state for tests that call the command reader directly.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include "position/position.h"
#include "position/zobrist.h"
#include "search/search_control.h"
#include "shell/game.h"
#include "shell/startup.h"
#include "shell/uci.h"

class EngineState : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(prepare_process("vorn_tests"), 0);
        init_zobrist();
        output_mode.uci_mode = 1;
        store_state(0);
        ASSERT_TRUE(set_game_position(start_fen));
    }
    void TearDown() override { store_state(0); }

    static std::string game_fen() {
        char text[128];
        get_fen(game_position(), text, 0);
        return text;
    }
};
