// SPDX-License-Identifier: BSD-2-Clause
#include "posix/DetachedProcess.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform::posix {

namespace {

// Only async-signal-safe calls from here on: the parent may have other threads.
[[noreturn]] void runGrandchild(char* const* argv, int devNull, int errorPipe)
{
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    signal(SIGXFSZ, SIG_DFL);
    setsid();
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
    }
    // Every other descriptor closes at exec. The error pipe is close-on-exec already, so it
    // still reports a failed exec and closes by itself on success.
#if defined(SYS_close_range)
    const bool marked = syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */) == 0;
#else
    const bool marked = false;
#endif
    if (!marked) {
        long limit = sysconf(_SC_OPEN_MAX);
        if (limit < 0 || limit > 65536) limit = 65536;
        for (int fd = 3; fd < limit; ++fd)
            if (fd != errorPipe) close(fd);
    }
    execvp(argv[0], argv);
    const int error = errno;
    [[maybe_unused]] const auto written = write(errorPipe, &error, sizeof error);
    _exit(127);
}

}  // namespace

bool DetachedProcess::start(const std::vector<std::string>& argv)
{
    if (argv.empty() || argv.front().empty()) return false;
    // Everything the children need is prepared before fork: they may not allocate.
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) return false;
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);

    const pid_t child = fork();
    if (child < 0) {
        close(errorPipe[0]);
        close(errorPipe[1]);
        if (devNull >= 0) close(devNull);
        return false;
    }
    if (child == 0) {
        // The middle process ends at once, so the program is adopted by init and never
        // becomes our zombie.
        close(errorPipe[0]);
        const pid_t grandchild = fork();
        if (grandchild == 0) runGrandchild(args.data(), devNull, errorPipe[1]);
        if (grandchild < 0) {
            const int error = errno;
            [[maybe_unused]] const auto written = write(errorPipe[1], &error, sizeof error);
        }
        _exit(0);
    }

    close(errorPipe[1]);
    if (devNull >= 0) close(devNull);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // Closed without a word: the exec succeeded. Otherwise the child's errno arrives.
    int childError = 0;
    ssize_t got;
    do {
        got = read(errorPipe[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    close(errorPipe[0]);
    return got == 0;
}

std::optional<std::string> DetachedProcess::findOnPath(const std::string& name)
{
    if (name.empty()) return std::nullopt;
    const auto isExecutableFile = [](const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
               access(path.c_str(), X_OK) == 0;
    };
    if (name.find('/') != std::string::npos) {
        if (isExecutableFile(name)) return name;
        return std::nullopt;
    }
    const char* pathVariable = std::getenv("PATH");
    const std::string path = pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t start = 0; start <= path.size();) {
        const auto end = std::min(path.find(':', start), path.size());
        // Appended piecewise: g++ 12 warns falsely (-Wrestrict) about "a + b + c" here.
        std::string candidate = end > start ? path.substr(start, end - start) : ".";
        candidate.append(1, '/').append(name);
        if (isExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace platform::posix
