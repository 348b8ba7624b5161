// SPDX-License-Identifier: BSD-2-Clause
// Arbitrary receiver lines through the reader's checks and the window controller's handlers,
// with the window assembled from fakes: no line may crash, hang or read out of bounds.
// The first input byte chooses whether lines must pass the checksum (as on the wire) or
// reach the handlers unchecked, so deep handler paths are found without valid checksums.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fakes/FakeServices.h"
#include "nmea/NMEA.h"
#include "serial/PortDiscovery.h"
#include "serial/Serial.h"
#include "unit/GPSControllerTestSupport.h"

namespace {

struct World {
    fakes::FakePlatform platform;
    controllertest::MainWindow window;

    World()
    {
        PortDiscovery::setDeviceRoots("/nonexistent-sys", "/nonexistent-dev");
        PortDiscovery::clearExtraPorts();
        PortDiscovery::addExtraPort("/dev/ttyFUZZ0");
        window.wakeDrawers();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static World* world = new World();  // one window for the whole run, as in the program
    if (size == 0) return 0;
    const bool checked = (data[0] & 1) != 0;
    GPSController& controller = *world->window.controller;

    std::size_t start = 1;
    for (std::size_t i = 1; i <= size; ++i) {
        if (i < size && data[i] != '\n') continue;
        ByteBuffer buffer(data + start, data + i);
        if (i < size) buffer.push_back('\n');
        start = i + 1;
        if (buffer.size() > 256) continue;  // the reader never hands on a longer line
        buffer.push_back(0);
        if (checked) {
            if (!NMEA::checkSumValid(buffer)) continue;
        } else if (buffer.empty() || (buffer[0] != '$' && buffer[0] != '!')) {
            continue;
        }
        controller.handleVerifiedSentence(buffer);
    }
    controller.positionTimer();
    return 0;
}
