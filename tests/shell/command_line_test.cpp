// Command-line switches: parsed in the test process where the settings can
// be read back, and run through the executable where the effect is output.
#include <gtest/gtest.h>
#include <fstream>
#include "engine_process.h"
#include "eval/params.h"
#include "shell/settings.h"
#include "shell/startup.h"

struct Parsed {
    int status;
    EngineMode mode;
    ToolArguments tools;
};

static Parsed parse(std::vector<std::string> words) {
    EXPECT_EQ(prepare_process("vorn"), 0);
    words.insert(words.begin(), "vorn");
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    Parsed p{0, MODE_ENGINE, {}};
    p.status = read_switches(int(words.size()), argv.data(), p.mode, p.tools);
    return p;
}

TEST(Switches, NumbersAreClampedIntoTheirRanges) {
    parse({"-hash", "100000"});
    EXPECT_EQ(settings.hash_mb, 65536);
    parse({"-hash", "-5"});
    EXPECT_EQ(settings.hash_mb, 0);
    parse({"-threads", "0"});
    EXPECT_EQ(search_options.threads, 1);
    parse({"-threads", "999"});
    EXPECT_EQ(search_options.threads, 512);
    parse({"-d", "120"});
    EXPECT_EQ(settings.max_depth, 79);
    EXPECT_EQ(settings.moves_per_control, 1);
    EXPECT_FLOAT_EQ(settings.base_time, 10000.0f);
    parse({"-ss", "5"});
    EXPECT_EQ(search_options.selectivity, 10);
    parse({"-ss", "500"});
    EXPECT_EQ(search_options.selectivity, 200);
}

TEST(Switches, AConsumedWordIsAlsoComparedWithTheLaterSwitches) {
    Parsed p = parse({"-cfg", "-use_hce"});
    EXPECT_STREQ(settings.config_file, "-use_hce");
    EXPECT_EQ(eval_options.use_nn, 0);
    p = parse({"-o", "-bench"});
    EXPECT_STREQ(p.tools.epd_out, "-bench");
    EXPECT_EQ(p.mode, MODE_BENCH);
    // -c comes before -o in the table, so a file name "-c" is only a file.
    parse({"-o", "-c"});
    EXPECT_EQ(output_mode.uci_mode, 1);
}

TEST(Switches, TheLastModeWins) {
    EXPECT_EQ(parse({"-bench", "-pbench"}).mode, MODE_PBENCH);
    EXPECT_EQ(parse({"-pbench", "-bench"}).mode, MODE_BENCH);
    Parsed p = parse({"-anepd", "suite.epd", "-tdstats"});
    EXPECT_EQ(p.mode, MODE_TDSTATS);
    EXPECT_STREQ(p.tools.epd_in, "suite.epd");
    // The fixed input name of -tdstats stays unless a path follows it.
    EXPECT_STREQ(p.tools.tdstats_input, "\\chess\\trainingdata\\junk1.bin");
    EXPECT_STREQ(parse({"-tdstats", "mine.bin"}).tools.tdstats_input, "mine.bin");
}

TEST(Switches, ScanPgnMatchesInsideAWord) {
    Parsed p = parse({"x-scan_pgny", "games.pgn"});
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.mode, MODE_SCAN_PGN);
    EXPECT_STREQ(p.tools.pgn_in, "games.pgn");
}

TEST(Switches, MissingWordsAreUsageErrors) {
    EXPECT_EQ(parse({"-scan_pgn"}).status, 1);
    EXPECT_EQ(parse({"-hash"}).status, 1);
    EXPECT_EQ(parse({"-c", "-noise"}).status, 1);
    EXPECT_EQ(parse({"-mkbook2"}).status, 1);
    EXPECT_EQ(parse({"-mkbook2", "in.epd"}).status, 0);
    EXPECT_EQ(parse({"-gentraindata", "out.bin"}).status, 1);
    EXPECT_EQ(parse({"-gentraindata", "out.bin", "0"}).status, 1);
    EXPECT_EQ(parse({"-train", "data.bin"}).status, 1);
    EXPECT_EQ(parse({"-train", "data.bin", "0"}).status, 1);
}

TEST(Switches, TrainingSwitchesStoreTheirArguments) {
    Parsed p = parse({"-gentraindata", "out.bin", "5000"});
    EXPECT_EQ(p.mode, MODE_GENTRAINDATA);
    EXPECT_STREQ(p.tools.bin_file, "out.bin");
    EXPECT_EQ(p.tools.train_positions, 5000);
    EXPECT_STREQ(p.tools.openings_input, "mybook_6mv.epd");
    EXPECT_EQ(settings.book_variety, 75);
    p = parse({"-genrandom", "30", "-gennoise", "0", "-gentraindata", "g.bin", "70", "book.epd"});
    EXPECT_STREQ(p.tools.openings_input, "book.epd");
    EXPECT_EQ(p.tools.random_move_permille, 30);
    EXPECT_EQ(p.tools.generator_noise, 0);
    p = parse({"-train", "data.bin", "2", "1", "-c"});
    EXPECT_EQ(p.mode, MODE_TRAIN);
    EXPECT_EQ(p.tools.train_positions, 2000000);
    EXPECT_EQ(settings.hash_mb, 0);
    EXPECT_EQ(output_mode.uci_mode, 0);
    // A third word that is not 0 or 1 is not consumed.
    p = parse({"-train2", "data.bin", "3", "-c"});
    EXPECT_EQ(output_mode.uci_mode, 0);
    EXPECT_EQ(p.tools.train_positions, 3000000);
    // -lr and -mbatch (the old trainer's) take their word and change nothing.
    p = parse({"-scoretraindata", "in.epd", "-lr", "0.5", "-mbatch", "77", "-tw", "0.25"});
    EXPECT_EQ(p.mode, MODE_SCORETRAINDATA);
    EXPECT_STREQ(p.tools.epd_in, "in.epd");
    EXPECT_STREQ(settings.syzygy_path, "\\Chess\\Syzygy\\6-Piece");
    EXPECT_FLOAT_EQ(settings.train_weight, 0.25f);
}

static std::string hash_line(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    EXPECT_EQ(run_engine(args, {"uci", "quit"}, out), 0);
    for (auto& l : out)
        if (starts_with(l, "option name Hash ")) return l;
    return "";
}

TEST(CommandLine, HashSizeFollowsTheSwitchesAndSmallSearches) {
    EXPECT_EQ(hash_line({"-hash", "16"}), "option name Hash type spin default 16 min 0 max 65536");
    EXPECT_EQ(hash_line({"-hash", "-5"}), "option name Hash type spin default 0 min 0 max 65536");
    EXPECT_EQ(hash_line({"-d", "5"}), "option name Hash type spin default 2 min 0 max 65536");
    EXPECT_EQ(hash_line({"-d", "9"}), "option name Hash type spin default 4 min 0 max 65536");
    EXPECT_EQ(hash_line({"-n", "150000"}), "option name Hash type spin default 4 min 0 max 65536");
    EXPECT_EQ(hash_line({"-n", "100000"}), "option name Hash type spin default 2 min 0 max 65536");
    EXPECT_EQ(hash_line({"-n", "200001"}), "option name Hash type spin default 64 min 0 max 65536");
}

TEST(CommandLine, NpsPrintsItsRating) {
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-nps", "1000000"}, {}, out), 0);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], "Elo= 3349");
}

TEST(CommandLine, ScanPgnAloneIsAUsageError) {
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-scan_pgn"}, {}, out), 1);
    EXPECT_TRUE(out.empty());
}

TEST(CommandLine, QuietDropsTheGreeting) {
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-quiet"}, {"isready"}, out), 0);
    // Only the calibration line is left of the start-up.
    ASSERT_EQ(out.size(), 2u);
    EXPECT_TRUE(starts_with(out[0], "info string et= ")) << out[0];
    EXPECT_EQ(out[1], "readyok");
}

TEST(CommandLine, TrainingIsRefused) {
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-train", "data.bin", "5"}, {}, out), 1);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], "Need to compile with 'make train_'");
}

TEST(CommandLine, MkconfigRunsTheStartUpOnly) {
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-mkconfig"}, {"isready"}, out), 0);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], "info string Hello from Vorn 7.14");
    EXPECT_TRUE(without_startup(out).empty());
}

TEST(CommandLine, ConfigFileIsAppliedAtStart) {
    TempDir dir;
    std::ofstream(dir.file("vorn.cfg")) << "Hash = 32\n# Threads = 4\nOwnBook_File=  other.bin  \nno equals here\n";
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-cfg", "vorn.cfg"}, {"uci", "quit"}, out, dir.path()), 0);
    auto has = [&](const std::string& line) { return std::find(out.begin(), out.end(), line) != out.end(); };
    EXPECT_TRUE(has("info string loading parameters from vorn.cfg"));
    EXPECT_TRUE(has("info string Hash set to 32"));
    EXPECT_FALSE(has("info string Threads set to 4"));
    EXPECT_TRUE(has("option name Hash type spin default 32 min 0 max 65536"));
    EXPECT_TRUE(has("option name OwnBook_File type string default other.bin  "));
    EXPECT_TRUE(has("option name ConfigFilePath type string default vorn.cfg"));
}

TEST(CommandLine, AMissingConfigFileIsSkippedQuietly) {
    TempDir dir;
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-cfg", "nothing.cfg"}, {"isready", "quit"}, out, dir.path()), 0);
    EXPECT_EQ(without_startup(out), std::vector<std::string>{"readyok"});
}

TEST(CommandLine, ConsoleSwitchGivesTheConsoleDialect) {
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-c"}, {"quit"}, out), 0);
    out = without_startup(out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
}

TEST(CommandLine, AParameterFileReplacesTheBuiltInWeights) {
    // The built-in text with the queen worth twice as much.
    std::string text = builtin_param_text;
    const size_t at = text.find("\nmtl_queen,");
    ASSERT_NE(at, std::string::npos);
    const size_t end = text.find('\n', at + 1);
    const int queen = atoi(text.c_str() + at + 11);  // its middle-game value
    text.replace(at + 1, end - at - 1, "mtl_queen,2100,2100");
    TempDir dir;
    std::ofstream(dir.file("weights.txt")) << text;
    const std::vector<std::string> session = {"fen rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", "ev", "quit"};
    auto material = [&](const std::vector<std::string>& args) {
        std::vector<std::string> out;
        EXPECT_EQ(run_engine(args, session, out, dir.path()), 0);
        for (auto& l : out)
            if (l.find(" mtl= ") != std::string::npos) return atoi(l.c_str() + l.find(" mtl= ") + 6);
        ADD_FAILURE() << "no material line";
        return 0;
    };
    int built_in = material({"-use_hce", "-c"});
    int doubled = material({"-use_hce", "-params", "weights.txt", "-c"});
    EXPECT_NEAR(built_in, queen, 40);
    EXPECT_NEAR(doubled, 2100, 80);
    std::vector<std::string> out;
    EXPECT_EQ(run_engine({"-params", "none.txt"}, {"quit"}, out, dir.path()), 0);
    EXPECT_NE(std::find(out.begin(), out.end(), "info string can't read parameters from none.txt"), out.end());
}
