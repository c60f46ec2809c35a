// A scripted console session that runs every command of the dialect
// against the real program, waiting for each reply before the next line.
#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include "engine_process.h"

namespace {

std::string data(const std::string& rel) { return std::string(VORN_DATA_DIR) + "/" + rel; }

// Runs console lines one after another. After each line a word that is
// no move is sent as a marker: its "invalid:" reply ends that line's output.
class Session {
public:
    explicit Session(const std::string& cwd) : e_({"-c", "-quiet", "-use_hce"}, cwd) {
        EXPECT_TRUE(e_.skip_startup());
        send("");
    }
    // The lines that line printed.
    std::vector<std::string> send(const std::string& line) {
        size_t from = e_.lines().size();
        if (!line.empty()) e_.send(line);
        std::string marker = "zzmark" + std::to_string(++markers_);
        e_.send(marker);
        auto end = e_.wait_for([&](const std::string& l) { return l == "invalid: " + marker; }, 60);
        EXPECT_TRUE(end.has_value()) << line;
        std::vector<std::string> out(e_.lines().begin() + long(from), e_.lines().end());
        if (!out.empty()) out.pop_back();
        return out;
    }
    // Sends a line that starts a search and waits for its summary.
    std::vector<std::string> search(const std::string& line) {
        size_t from = e_.lines().size();
        e_.send(line);
        auto summary = e_.wait_for([](const std::string& l) { return starts_with(l, "Hash fill= "); }, 60);
        EXPECT_TRUE(summary.has_value()) << line;
        e_.next_line(10);  // the empty line after the summary
        return std::vector<std::string>(e_.lines().begin() + long(from), e_.lines().end());
    }
    EngineProcess& process() { return e_; }
    // The FEN of the game position, from a bd.
    std::string fen() {
        auto b = send("bd");
        return b.empty() ? "" : b[0];
    }

private:
    EngineProcess e_;
    int markers_ = 0;
};

bool has(const std::vector<std::string>& v, const std::string& s) { return std::find(v.begin(), v.end(), s) != v.end(); }
bool has_prefix(const std::vector<std::string>& v, const std::string& p) {
    for (auto& l : v)
        if (starts_with(l, p)) return true;
    return false;
}
std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(ConsoleSession, EveryCommandOfTheDialect) {
    TempDir dir;
    std::ofstream(dir.file("test.epd")) << "; a comment line with id \"wac.1\"\n"
                                        << "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6; id \"wac.1\";\n";
    std::ofstream(dir.file("games.pgn")) << "[Event \"one\"]\n[White \"First\"]\n\n1. d4 d5 *\n\n"
                                         << "[Event \"two\"]\n[White \"Second\"]\n\n1. e4 e5 2. Nf3 Nc6 3. Bb5 *\n\n";
    Session s(dir.path());

    // Moves, taking back and replaying.
    EXPECT_TRUE(has(s.send("e4"), "1. move e4"));
    EXPECT_TRUE(has(s.send("move e7e5"), "1. move e7e5"));
    EXPECT_EQ(s.fen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
    // test: the current key, then the two earlier ones; none repeats.
    auto keys = s.send("test");
    ASSERT_EQ(keys.size(), 3u);
    for (auto& k : keys) EXPECT_EQ(k.find("repetition"), std::string::npos);
    s.send("undo");
    s.send("[");
    EXPECT_EQ(s.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_TRUE(s.send("undo").empty()) << "undo at ply 0 prints nothing";
    EXPECT_TRUE(has(s.send("]"), "1. move e4"));
    EXPECT_TRUE(has(s.send("]"), "1... move e5"));
    EXPECT_EQ(s.fen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
    // A knight there and back twice repeats the position.
    s.send("Nf3");
    s.send("Nf6");
    s.send("Ng1");
    s.send("Ng8");
    keys = s.send("test");
    ASSERT_EQ(keys.size(), 7u);
    EXPECT_EQ(keys[4], keys[0] + " repetition");
    EXPECT_TRUE(has(s.send("hello"), "invalid: hello"));

    // save appends the game to tmp.pgn; jump goes back to a move number.
    s.send("save");
    s.send("save");
    std::string saved = slurp(dir.file("tmp.pgn"));
    EXPECT_EQ(saved, "[Event \"Unknown\"]\ne4 e5 Nf3 Nf6 Ng1 Ng8 \n\n[Event \"Unknown\"]\ne4 e5 Nf3 Nf6 Ng1 Ng8 \n\n");
    s.send("jump 2");
    EXPECT_EQ(s.fen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
    s.send("jump 1");
    EXPECT_EQ(s.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");

    // new, fen, reverse, swap.
    s.send("fen 4k3/8/8/3p4/4P3/8/8/4K3 w - -");
    auto swaps = s.send("swap");
    EXPECT_EQ(swaps, (std::vector<std::string>{"sq= e4, swap1=  100", "sq= d5, swap1=  100"}));
    s.send("reverse");
    EXPECT_EQ(s.fen(), "4k3/8/8/4p3/3P4/8/8/4K3 b - -");
    s.send("new");
    EXPECT_EQ(s.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");

    // The board editor.
    auto& e = s.process();
    e.send("edit");
    EXPECT_TRUE(e.wait_for_prefix("b  Pa7 Pb7 Kc7       black, pieces"));
    e.send("#");
    e.send("w Ke1 Ra1 Rh1 Pa2 Xb2 Qz9");
    e.send("b Ke8 Pa7");
    e.send("an opening line that is skipped");
    e.send(".");
    EXPECT_TRUE(e.wait_for_prefix("4k3/p7/8/8/8/8/P7/R3K2R b KQ -"));

    // get: a test position by its id from test.epd.
    auto got = s.send("get wac.1");
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0], "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6; id \"wac.1\";");
    EXPECT_EQ(s.fen(), "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - -");
    auto none = s.send("get nothing");
    ASSERT_FALSE(none.empty());
    EXPECT_EQ(none[0], "");
    EXPECT_EQ(s.fen(), "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - -");

    // Settings.
    EXPECT_TRUE(has(s.send("set level 40 5:00 2"), "set level to 40 moves in 300.00 seconds, inc 2.00"));
    EXPECT_TRUE(has(s.send("set NMP_depth 4"), "NMP_depth set to 4"));
    EXPECT_TRUE(has(s.send("set Selectivity 500"), "Selectivity set to 200"));
    EXPECT_TRUE(has(s.send("set contempt 12"), "contempt set to 12"));
    EXPECT_TRUE(has(s.send("set ponder 0"), "ponder set to 0"));
    EXPECT_TRUE(has(s.send("set SEP_depth 2"), "SEP_depth set to 2"));
    EXPECT_TRUE(has(s.send("set FP_depth 2"), "FP_depth set to 2"));
    EXPECT_TRUE(has(s.send("set LMP_depth 2"), "LMP_depth set to 2"));
    EXPECT_TRUE(has(s.send("set LMR_depth 2"), "LMR_depth set to 2"));
    EXPECT_TRUE(has(s.send("set ss 0"), "selectivity set to OFF"));
    EXPECT_TRUE(has(s.send("set target_nps 1000000"), "target_nps set to 1000000, Elo= 3349"));
    EXPECT_TRUE(has(s.send("set ss 1"), "set default Settings"));
    // The restored settings are the defaults (no setoption came): the
    // network evaluation and normal noise; the console stays the console.
    s.send("set noise 99999");
    s.send("set multipv 1");
    s.send("set debug 0");
    s.send("set frc 0");
    s.send("set hash 1");
    s.send("set nodes 100000000");
    s.send("set depth 4");
    s.send("trace 0");

    // An analysis to depth 4, then the line it leaves in the table.
    auto an = s.search("go 4");
    EXPECT_TRUE(has_prefix(an, "move= "));
    EXPECT_TRUE(has_prefix(an, "Hash fill= "));
    auto pv = s.send("pv");

    ASSERT_FALSE(pv.empty());
    EXPECT_TRUE(starts_with(pv[0], "PV: ")) << pv[0];
    EXPECT_GT(pv[0].size(), 6u);
    EXPECT_EQ(s.fen(), "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - -") << "pv takes its moves back";

    // mv: the engine plays its move on the board (depth 4 from set depth 4).
    s.search("mv");
    EXPECT_NE(s.fen(), "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - -");

    // load a game by its tag; the shared PGN files too.
    auto loaded = s.send("load games.pgn Second");
    EXPECT_TRUE(has(loaded, "loading games.pgn, tag Second"));
    EXPECT_EQ(s.fen(), "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq -");
    s.send("load " + data("pgn/molinari-bordais-1979.pgn") + " Molinari");
    EXPECT_EQ(s.fen(), "r1bqkb1r/pp1ppppp/5n2/2p5/2P1P3/2Nn2P1/PP1PNP1P/R1BQKB1R w KQkq -");

    // Diagnostics: evaluation reports, search tables, perft, book.
    EXPECT_TRUE(has(s.send("ev"), "last move was 5... b4d3"));
    EXPECT_FALSE(s.send("sp").empty());
    EXPECT_FALSE(s.send("ev2").empty());
    EXPECT_FALSE(s.send("lmr").empty());
    EXPECT_TRUE(has_prefix(s.send("perft 1"), "visited "));
    s.send("new");
    auto book = s.send("book");
    EXPECT_GE(book.size(), 2u);

    // self play to depth 1 until stopped; then quit.
    s.send("set depth 1");
    e.send("self");
    EXPECT_TRUE(e.wait_for_prefix("move= ", 30));
    e.send(".");
    e.send("quit");
    EXPECT_EQ(e.finish(30), 0);
}
