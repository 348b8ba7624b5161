// SPDX-License-Identifier: BSD-2-Clause
#include <chrono>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "posix/DetachedProcess.h"
#include "posix/SpdSaySpeech.h"
#include "tests/unit/ServicesTestSupport.h"

namespace {

using platform::posix::DetachedProcess;
using servicestest::TempDir;

// Writes a shell script and makes it executable.
std::string script(const std::filesystem::path& path, const std::string& body)
{
    servicestest::writeFile(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
    return path.string();
}

TEST(DetachedProcessTest, ChildRunsInItsOwnSessionNotAsOurChildAndWithoutOurDescriptors)
{
    TempDir dir;
    // Descriptors of ours that are not close-on-exec, at known numbers.
    const std::set<int> ours = {57, 58, 300};
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 0);
    for (int fd : ours) ASSERT_EQ(dup2(leaked, fd), fd);
    close(leaked);

    const auto out = dir.path() / "out";
    // ls runs as the shell's child, so it lists the shell's descriptors, not its own.
    const std::string body = "read stat < /proc/$$/stat; ls /proc/$$/fd > '" + out.string() +
                             ".tmp'; echo \"$stat\" >> '" + out.string() + ".tmp'; mv '" +
                             out.string() + ".tmp' '" + out.string() + "'";
    EXPECT_TRUE(DetachedProcess::start({"/bin/sh", "-c", body}));
    for (int fd : ours) close(fd);
    ASSERT_TRUE(servicestest::eventually([&] { return std::filesystem::exists(out); }));

    std::istringstream lines(servicestest::readFile(out));
    std::string line, statLine;
    std::set<int> fds;
    while (std::getline(lines, line)) {
        if (line.find('(') != std::string::npos) statLine = line;
        else if (!line.empty()) fds.insert(std::stoi(line));
    }
    // The shell keeps a few of its own (dash saves one at 10); none of ours may be there.
    for (int fd : {0, 1, 2}) EXPECT_TRUE(fds.count(fd)) << fd;
    for (int fd : ours) EXPECT_FALSE(fds.count(fd)) << fd;
    // pid (comm) state ppid pgrp session ...
    std::istringstream stat(statLine.substr(statLine.rfind(')') + 2));
    char state = 0;
    long ppid = 0, pgrp = 0, session = 0;
    stat >> state >> ppid >> pgrp >> session;
    const long pid = std::stol(statLine);
    EXPECT_EQ(session, pid);
    EXPECT_NE(ppid, static_cast<long>(getpid()));
}

TEST(DetachedProcessTest, ReportsAProgramThatCannotRun)
{
    TempDir dir;
    EXPECT_FALSE(DetachedProcess::start({(dir.path() / "missing").string()}));
    servicestest::writeFile(dir.path() / "plain", "not a program");
    EXPECT_FALSE(DetachedProcess::start({(dir.path() / "plain").string()}));
    EXPECT_FALSE(DetachedProcess::start({}));
}

TEST(DetachedProcessTest, FindsProgramsOnPath)
{
    const auto sh = DetachedProcess::findOnPath("sh");
    ASSERT_TRUE(sh.has_value());
    EXPECT_EQ(access(sh->c_str(), X_OK), 0);
    EXPECT_FALSE(DetachedProcess::findOnPath("gpsdesk-no-such-program").has_value());
    EXPECT_FALSE(DetachedProcess::findOnPath("/tmp").has_value());  // a directory is no program
}

TEST(SpdSaySpeechTest, PassesTheTextAsOneArgumentAndDoesNotWaitForTheVoice)
{
    TempDir dir;
    const auto out = dir.path() / "said";
    const std::string program =
        script(dir.path() / "spd-say", "printf '%s\\n' \"$@\" > '" + out.string() +
                                           ".tmp'; mv '" + out.string() + ".tmp' '" +
                                           out.string() + "'; sleep 5");
    platform::posix::SpdSaySpeech speech(program);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(speech.startSpeaking("-r 100 50% \"quoted\"; $(echo no)"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    ASSERT_TRUE(servicestest::eventually([&] { return std::filesystem::exists(out); }));
    EXPECT_EQ(servicestest::readFile(out), "--\n-r 100 50% \"quoted\"; $(echo no)\n");
}

TEST(SpdSaySpeechTest, WithoutTheClientNothingIsSpoken)
{
    platform::posix::SpdSaySpeech speech(std::nullopt);
    EXPECT_FALSE(speech.available());
    EXPECT_FALSE(speech.startSpeaking("hello"));
}

}  // namespace
