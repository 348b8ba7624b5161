// SPDX-License-Identifier: BSD-2-Clause
// gpsdesk-headless: the window-less program alone, for systems without the toolkit. It takes
// the same command line as gpsdesk and always runs as gpsdesk --headless does.
#include <string>
#include <vector>

#include "headless/HeadlessMain.h"
#include "headless/ProgramOptions.h"

using namespace qtplatform;

int main(int argc, char** argv)
{
    const std::string program = argc > 0 ? argv[0] : "gpsdesk-headless";
    ProgramOptions options =
        ProgramOptions::parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (const auto status = options.answeredAlone(program)) return *status;
    options.headless = true;
    return runProgramHeadless(options);
}
