#include "strength.h"
#include <cmath>
#include "../shell/settings.h"

std::atomic<bool> throttle_on{false};

double elo_of_speed(double nps) {
    // A speed of zero (no calibration yet) would give an infinite logarithm.
    double l = std::log(nps < 1 ? 1.0 : nps);
    return 850 + 250 * l - 5 * l * l;
}

void set_strength() {
    throttle_on.store(false, std::memory_order_relaxed);
    target_nps = calibration_nps;
    if (!settings.limit_strength || settings.elo <= 0) return;
    double lo = 10, hi = 10000000, mid = lo;
    for (int i = 0; i < 200; i++) {
        mid = (lo + hi) / 2;
        double e = elo_of_speed(mid);
        if (std::fabs(e - settings.elo) < 0.5) break;
        if (e < settings.elo) lo = mid;
        else hi = mid;
    }
    target_nps = float(mid);
    if (mid < 0.9 * calibration_nps) throttle_on.store(true, std::memory_order_relaxed);
}
