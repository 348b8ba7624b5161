// SPDX-License-Identifier: BSD-2-Clause
#include "app/ReceiverTestController.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "instruments/ReceiverTestView.h"
#include "fakes/FakeControls.h"

namespace {

struct Pane {
    fakes::FakeViewHost host;
    ReceiverTestView view;
    ReceiverTestController controller;
    ReceiverState state;
    std::vector<RestartDepth> sent;
    bool portTakesCommands = true;

    Pane()
    {
        view.setHost(&host);
        controller.setView(&view);
        controller.setRestartSender([this](RestartDepth depth) {
            if (!portTakesCommands) return false;
            sent.push_back(depth);
            return true;
        });
    }
    // A body without "*hh", through the reader's road.
    void sentence(const std::string& text, double now)
    {
        const ByteBuffer line = ReceiverCommands::nmeaSentence(ByteBuffer(text.begin(), text.end()));
        ASSERT_TRUE(controller.feedLine(state, std::string(line.begin(), line.end()), now));
    }
};

}  // namespace

TEST(ReceiverTestControllerTest, RestartIsOfferedOnlyForAConnectedGpsOnlyReceiver)
{
    Pane pane;
    EXPECT_EQ(pane.controller.restartRefusal(), "TestRestartNotConnected");
    EXPECT_FALSE(pane.controller.restart(RestartDepth::Cold, 1.0));
    EXPECT_TRUE(pane.sent.empty());

    pane.controller.connected(10.0);
    pane.sentence("$GPGGA,120000.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,", 11.0);
    EXPECT_FALSE(pane.controller.restartRefusal());
    ASSERT_TRUE(pane.controller.restart(RestartDepth::Cold, 20.0));
    EXPECT_EQ(pane.sent, std::vector{RestartDepth::Cold});
    EXPECT_EQ(pane.controller.test().firstFix().runs().newest().start, RunStart::ColdRestart);
    EXPECT_EQ(pane.controller.test().firstFix().runs().size(), 2u);

    // The port refused the command: no run begins, as nothing was restarted.
    pane.portTakesCommands = false;
    EXPECT_FALSE(pane.controller.restart(RestartDepth::Hot, 25.0));
    EXPECT_EQ(pane.controller.test().firstFix().runs().size(), 2u);

    pane.sentence("$GNGGA,120001.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,", 30.0);
    EXPECT_EQ(pane.controller.restartRefusal(), "TestRestartUnknownReceiver");
    pane.portTakesCommands = true;
    EXPECT_FALSE(pane.controller.restart(RestartDepth::Warm, 31.0));
    EXPECT_EQ(pane.sent.size(), 1u);

    // A new connection may be another receiver.
    pane.controller.disconnected(40.0);
    pane.controller.connected(50.0);
    EXPECT_FALSE(pane.controller.restartRefusal());
}

TEST(ReceiverTestControllerTest, TicksRedrawAndResetKeepsTheRuns)
{
    Pane pane;
    pane.controller.connected(0.0);
    pane.sentence("$GPGGA,120000.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,", 1.0);
    const int before = pane.host.redrawRequests;
    pane.controller.tick(2.0);
    EXPECT_GT(pane.host.redrawRequests, before);
    EXPECT_EQ(pane.controller.test().accuracy().size(), 1u);
    EXPECT_NE(pane.controller.csvText().find('\n'), std::string::npos);

    pane.controller.reset();
    EXPECT_EQ(pane.controller.test().accuracy().size(), 0u);
    EXPECT_EQ(pane.controller.test().firstFix().runs().size(), 1u);
    EXPECT_NE(pane.controller.copyText().find("TestConnect"), std::string::npos);
}
