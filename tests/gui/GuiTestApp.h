// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <QApplication>
#include <cstdlib>

// One QApplication for the whole test program, offscreen unless told otherwise.
inline QApplication& guiTestApp()
{
    static int argc = 1;
    static char name[] = "gpsdesk_gui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *app;
}
