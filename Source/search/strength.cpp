#include "strength.h"
#include <algorithm>
#include <cmath>
#include <iterator>
#include "search_options.h"

float calibration_nps = 0;
// Until the speed is measured the rating scale tops out at the highest
// UCI_Elo a user can ask for.
float calibrated_elo = 3300;
std::atomic<bool> throttle_on{false};
int64_t strength_node_budget = 0;
float target_nps = 0;

double elo_of_speed(double nps) {
    // A speed of zero (no calibration yet) would give an infinite logarithm.
    double l = std::log(nps < 1 ? 1.0 : nps);
    return 850 + 250 * l - 5 * l * l;
}

double speed_of_elo(double elo) {
    double lo = 10, hi = 10000000, mid = lo;
    for (int i = 0; i < 200; i++) {
        mid = (lo + hi) / 2;
        double e = elo_of_speed(mid);
        if (std::fabs(e - elo) < 0.5) break;
        if (e < elo) lo = mid;
        else hi = mid;
    }
    return mid;
}

namespace {
// The segment of anchors an Elo falls in (the first or last one beyond
// them) and where in it, 0 at its first anchor and 1 at its second.
int anchor_segment(double elo, double& at) {
    constexpr int last = int(std::size(PACE_ANCHORS)) - 1;
    int i = 0;
    while (i < last - 1 && elo > PACE_ANCHORS[i + 1].elo) i++;
    at = (elo - PACE_ANCHORS[i].elo) / double(PACE_ANCHORS[i + 1].elo - PACE_ANCHORS[i].elo);
    return i;
}
}  // namespace

double reference_move_seconds(double elo) {
    double t;
    const int i = anchor_segment(elo, t);
    const PaceAnchor a = PACE_ANCHORS[i], b = PACE_ANCHORS[i + 1];
    return a.seconds * std::pow(b.seconds / a.seconds, t);
}

double elo_node_budget(double elo) {
    return std::max(1.0, std::round(speed_of_elo(elo) * reference_move_seconds(elo)));
}

double move_time_exponent(double elo) {
    double t;
    const int i = anchor_segment(elo, t);
    const PaceAnchor a = PACE_ANCHORS[i], b = PACE_ANCHORS[i + 1];
    return std::clamp(a.time_exponent + (b.time_exponent - a.time_exponent) * t, 0.0, 1.5);
}

double move_time_factor(double elo, double seconds) {
    if (seconds <= 0) return 1.0;
    return std::clamp(std::pow(seconds / REFERENCE_MOVE_TIME, move_time_exponent(elo)), 0.05, 20.0);
}

StrengthLimit strength_limit(bool limit_strength, int elo, float speed_request, float full_nps,
                             float expected_seconds) {
    StrengthLimit none = {false, full_nps, 0};
    if (!limit_strength) return none;
    if (speed_request > 0) {
        // A speed asked for is that speed, whatever the time control.
        if (speed_request >= 0.9f * full_nps) return none;
        return {true, speed_request, 0};
    }
    if (elo <= 0) return none;
    const double nps = speed_of_elo(elo);
    if (nps >= 0.9 * full_nps) return none;
    const double budget = std::max(1.0, std::round(elo_node_budget(elo) * move_time_factor(elo, expected_seconds)));
    // Spread the budget over most of the move's expected time, so that the
    // nodes are spent before the clock's own stopping rules (a stable best
    // move, the move overhead) end the search; with no time to go by,
    // search it at full speed.
    const double rate = expected_seconds > 0 ? budget / (BUDGET_TIME_SHARE * expected_seconds) : full_nps;
    if (rate >= 0.9 * full_nps) return {false, full_nps, int64_t(budget)};
    return {true, float(rate), int64_t(budget)};
}

void request_speed(float nps) {
    target_nps = nps;
    search_options.speed_request = nps;
    search_options.limit_strength = 1;
    search_options.elo = int16_t(elo_of_speed(nps));
}

void set_strength(float expected_seconds) {
    const StrengthLimit limit = strength_limit(search_options.limit_strength != 0, search_options.elo, search_options.speed_request,
                                               calibration_nps, expected_seconds);
    target_nps = limit.target_nps;
    strength_node_budget = limit.node_budget;
    throttle_on.store(limit.throttle, std::memory_order_relaxed);
}
