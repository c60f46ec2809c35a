// Playing strength limits. A speed asked for directly (Target_NPS, the
// speed throttle) is held by the main worker sleeping whenever its node
// rate runs above it. An Elo asked for (UCI_LimitStrength, UCI_Elo) is a
// number of nodes per move: the Elo-versus-speed curve holds at a
// reference pace that grows with the level, so a move of a 10 s + 0.1 s
// game searches the nodes the curve's rate gives in
// reference_move_seconds(elo), spread over the time the move is expected
// to take. The reference engine's own limit plays stronger with more time
// a move, so a move of another length gets its nodes scaled by a power of
// its time over that game's.
#pragma once
#include <atomic>
#include <cstdint>

// The full speed measured at start-up and the Elo the curve gives it.
extern float calibration_nps;
extern float calibrated_elo;
extern std::atomic<bool> throttle_on;
// Nodes the current search may spend for the strength limit; 0 for none.
extern int64_t strength_node_budget;
// The node rate the throttle holds (the full speed when it is off).
extern float target_nps;

// Seconds of a move at the pace where the Elo curve holds in a 10 s +
// 0.1 s game, and the power of a move's time over that game's that scales
// its nodes, measured against stockfish 15.1's own UCI_Elo
// (docs/strength.md): the curve's rate gives too few nodes for each step up
// in strength, so the pace grows with the level; and the reference
// engine's limit gains more from a longer move the higher its level, so
// the power grows with the level too. Between anchors the pace's logarithm
// and the power are linear in Elo; beyond them the nearest segment goes on.
struct PaceAnchor {
    int elo;
    double seconds;
    double time_exponent;
};
constexpr PaceAnchor PACE_ANCHORS[] = {{1800, 13.0, 0.2}, {2200, 80.0, 0.7}, {2600, 200.0, 1.0}};
// The share of a move's expected time over which its node budget is spread.
constexpr double BUDGET_TIME_SHARE = 0.8;
// The usable time of a move of a 10 s + 0.1 s game, where the paces hold.
constexpr double REFERENCE_MOVE_TIME = 0.3;
double reference_move_seconds(double elo);
// The nodes a move at this Elo searches in a 10 s + 0.1 s game: the
// curve's rate at its pace.
double elo_node_budget(double elo);
// The power of the time factor at this Elo, within [0, 1.5].
double move_time_exponent(double elo);
// The factor on those nodes for a move expected to take seconds (0: no
// time to go by, factor 1), kept within [1/20, 20].
double move_time_factor(double elo, double seconds);

// Elo(n) = 850 + 250 ln n - 5 (ln n)^2 for n nodes per second.
double elo_of_speed(double nps);
// The speed whose Elo is elo, by bisection on [10, 10 000 000].
double speed_of_elo(double elo);

struct StrengthLimit {
    bool throttle;        // the main worker sleeps to hold target_nps
    float target_nps;     // the full speed when there is no throttle
    int64_t node_budget;  // nodes the move may search, 0 for no cap
};

// What a search is allowed: speed_request is a rate asked for directly (0
// for none; it wins over the Elo); expected_seconds is what the move is
// expected to take (clock or movetime, less the move overhead), 0 when
// nothing says (go depth, nodes, infinite), in which case the budget is
// searched at full speed.
// No limit where the machine at full speed is not stronger.
StrengthLimit strength_limit(bool limit_strength, int elo, float speed_request, float full_nps,
                             float expected_seconds);
// A speed asked for (Target_NPS, the speed throttle, -nps): held at any
// time control; the strength settings record it with the Elo the curve
// gives it.
void request_speed(float nps);
// Sets throttle_on, target_nps and strength_node_budget for the coming
// search.
void set_strength(float expected_seconds);
