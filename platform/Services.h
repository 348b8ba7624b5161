// SPDX-License-Identifier: BSD-2-Clause
#pragma once

namespace platform {

class Alerts;
class Application;
class Bundle;
class Clock;
class MainThread;
class Preferences;
class Screen;
class Sleeper;
class Speech;
class SystemInfo;
class Workspace;

// The process-wide services behind the class-level operations (alerts, preferences, system
// queries). Set once on the main thread at start-up (by the program or a test) before any
// other thread runs; none is owned here. A null service means "not available".
struct Services {
    Alerts* alerts = nullptr;
    Application* application = nullptr;
    Bundle* bundle = nullptr;
    Clock* clock = nullptr;
    MainThread* mainThread = nullptr;
    Preferences* preferences = nullptr;
    Screen* screen = nullptr;
    Sleeper* sleeper = nullptr;
    Speech* speech = nullptr;
    SystemInfo* systemInfo = nullptr;
    Workspace* workspace = nullptr;
};

Services& services();

}  // namespace platform
