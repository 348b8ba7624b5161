// SPDX-License-Identifier: BSD-2-Clause
// Lines cut in two on the way must never reach the read-outs: with the simulator cutting 30 %
// of its lines, every value the window shows is one the whole stream carried.

#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "integration/GPSControllerHarness.h"
#include "serial/PortDiscovery.h"
#include "sim/Scenario.h"

namespace {

constexpr std::uint32_t kSeed = 11;

using Readouts = std::map<std::string, fakes::FakeTextField*>;

Readouts readouts(controllertest::MainWindow& window)
{
    return {{"UTC", &window.utc},   {"latitude", &window.latitude}, {"longitude", &window.longitude},
            {"speed", &window.sog}, {"course", &window.cog}};
}

class CutLinesTest : public harness::ControllerTest {};

TEST_F(CutLinesTest, NoReadoutShowsAValueTheWholeStreamDidNotCarry)
{
    sim::Options options;
    options.seed = kSeed;
    options.unpaced = true;
    options.speedup = 50;
    options.faults.cutShare = 0.3;
    if (!startSimulator(options)) return;
    const std::string port = simulator->devicePath();
    PortDiscovery::addExtraPort(port);
    restore(port, "4800");
    for (auto& [name, field] : readouts(*window)) field->keepHistory = true;
    wake();
    ASSERT_TRUE(until([&] { return monitorView.green > 1500 && controller().brokenLines() > 100; }, 120.0))
        << "handled " << monitorView.green << ", broken " << controller().brokenLines();
    controller().shutdown();

    // What the whole stream shows: the same route, every sentence of its first hour handed
    // to a second window one by one, as the reader would.
    std::map<std::string, std::set<std::string>> carried;
    {
        controllertest::MainWindow whole;
        whole.controller->setSleeper(&sleeper);
        whole.wakeDrawers();
        whole.controller->start();
        for (auto& [name, field] : readouts(whole)) field->keepHistory = true;
        sim::Scenario route(kSeed, false);
        for (int second = 0; second < 3600; ++second) {
            route.step();
            for (int type = 0; type < sim::kSentenceCount; ++type)
                for (const std::string& line : route.sentences(static_cast<sim::Sentence>(type)))
                    whole.handle(line.substr(0, line.rfind('*')));
        }
        for (auto& [name, field] : readouts(whole)) carried[name].insert(field->shown.begin(), field->shown.end());
        whole.controller->shutdown();
    }
    ASSERT_GT(carried["speed"].size(), 10u);

    for (auto& [name, field] : readouts(*window)) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(field->shown.empty());
        for (const std::string& value : field->shown)
            if (!value.empty()) {
                EXPECT_TRUE(carried[name].count(value)) << "shown but never sent: " << value;
            }
    }
}

}  // namespace
