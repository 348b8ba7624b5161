// SPDX-License-Identifier: BSD-2-Clause
#include "fakes/GermanLocale.h"

#include <clocale>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace testlocale {

bool switchToGerman(int category)
{
    if (std::setlocale(category, "de_DE.UTF-8")) return true;
    const std::string folder = ::testing::TempDir() + "gpsdesk-locales";
    const std::string command = "mkdir -p '" + folder + "' && localedef -i de_DE -f UTF-8 '" +
                                folder + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return false;
    setenv("LOCPATH", folder.c_str(), 1);
    return std::setlocale(category, "de_DE.UTF-8") != nullptr;
}

void restore(int category)
{
    std::setlocale(category, "C");
    unsetenv("LOCPATH");
}

}  // namespace testlocale
