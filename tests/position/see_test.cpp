#include <gtest/gtest.h>
#include "../support/test_position.h"
#include "position/see.h"

TEST(See, SimpleExchanges) {
    TestBoard b("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(see_move(b.pos(), WHITE, sq("e4"), sq("d5")), 350);
    TestBoard q("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
    EXPECT_EQ(see_move(q.pos(), WHITE, sq("d1"), sq("d5")), 100 - 1060);
}

TEST(See, XrayAttackerJoins) {
    // Rxd5 Rxd5 Rxd5: the second white rook behind the first wins a rook.
    TestBoard b("3rk3/8/8/3r4/8/8/3R4/3RK3 w - - 0 1");
    EXPECT_EQ(see_move(b.pos(), WHITE, sq("d2"), sq("d5")), 550);
    // Without the second rook the exchange only trades.
    TestBoard c("3rk3/8/8/3r4/8/8/3R4/4K3 w - - 0 1");
    EXPECT_EQ(see_move(c.pos(), WHITE, sq("d2"), sq("d5")), 0);
}

TEST(See, KingCapturesAndBestCapture) {
    TestBoard b("4k3/8/8/8/8/3p4/2p5/3K4 w - - 0 1");
    // Kxc2 with c2 defended by d3: the king is lost.
    EXPECT_EQ(see_move(b.pos(), WHITE, sq("d1"), sq("c2")), 100 - 9999);
    // Best capture on an unattacked square is 0.
    TestBoard e("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(see_move(e.pos(), WHITE, NO_SQ, sq("d5")), 0);
    // A piece of the side attacking the enemy king square gives 9999.
    TestBoard att("4k3/8/8/8/8/8/8/4RK2 b - - 0 1");
    EXPECT_EQ(see_move(att.pos(), WHITE, NO_SQ, sq("e8")), 9999);
    // Best capture from nowhere: pawn takes undefended knight.
    TestBoard n("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1");
    EXPECT_EQ(see_move(n.pos(), WHITE, NO_SQ, sq("d5")), 350);
}

TEST(See, EnPassantOntoAnAttackedSquare) {
    TestBoard b("4k3/4p3/8/3pP3/8/8/8/4K3 w - d6 0 1");
    ASSERT_EQ(b.pos().ep_square, sq("d6"));
    EXPECT_EQ(see_move(b.pos(), WHITE, sq("e5"), sq("d6")), -100);
}
