// SPDX-License-Identifier: BSD-2-Clause
// Whole-program figures: the real gpsdesk (real Qt widgets, monitor drawer open, offscreen)
// as a separate process on the simulated receiver's pseudo-terminal. The simulator runs in
// this process, so the CPU read from /proc/PID/stat is gpsdesk's alone. gpsdesk is started
// with GPSDESK_STATS set and reports, once a second on standard error, the lines its main
// thread was given and its window repaints; those counts are the figures' source.
//
//   qt_program_runner GPSDESK burst LINES [RUNS]   LINES handed over at once, unpaced
//   qt_program_runner GPSDESK paced SECONDS        the route at a full 115200 bit/s line
//
// See bench/README.md.

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "bench/ProcStat.h"
#include "bench/ReceiverOutput.h"
#include "bench/RouteLog.h"
#include "sim/Simulator.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::uint32_t kRate = 115200;

struct Stats {
    double t = 0;  // the program's own clock, seconds since the counts started
    std::uint64_t lines = 0;
    std::uint64_t dropped = 0;
    std::uint64_t windowRepaints = 0;
    std::uint64_t viewPaints = 0;
};

std::optional<Stats> parseStats(const std::string& line)
{
    Stats s;
    if (std::sscanf(line.c_str(),
                    "gpsdesk-stats: t=%lf lines=%" SCNu64 " dropped=%" SCNu64 " window-repaints=%" SCNu64
                    " view-paints=%" SCNu64,
                    &s.t, &s.lines, &s.dropped, &s.windowRepaints, &s.viewPaints) != 5)
        return std::nullopt;
    return s;
}

// One gpsdesk process with its standard error read line by line.
class Program {
public:
    Program(const std::string& binary, const std::string& port, const std::string& home)
    {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(pipeEnds[1], STDERR_FILENO);
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) ::dup2(null, STDOUT_FILENO);
            ::close(pipeEnds[0]);
            ::close(pipeEnds[1]);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
            ::setenv("GPSDESK_STATS", "1", 1);
            const std::string rate = std::to_string(kRate);
            ::execl(binary.c_str(), binary.c_str(), "--port", port.c_str(), "--rate", rate.c_str(),
                    static_cast<char*>(nullptr));
            std::perror("exec gpsdesk");
            ::_exit(127);
        }
        ::close(pipeEnds[1]);
        m_err = pipeEnds[0];
    }
    ~Program()
    {
        if (m_err >= 0) ::close(m_err);
    }

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }

    double cpuSeconds() const
    {
        const auto [user, system] = cpuSecondsOf("/proc/" + std::to_string(m_pid) + "/stat");
        return user + system;
    }

    // Reads standard error for up to `seconds`; every stats line goes into history().
    // False once the program has closed it.
    bool read(double seconds)
    {
        pollfd p{m_err, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(seconds * 1000)) <= 0) return true;
        char buffer[4096];
        const ssize_t n = ::read(m_err, buffer, sizeof buffer);
        if (n <= 0) return false;
        m_pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = m_pending.find('\n')) != std::string::npos;) {
            const std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            if (const auto stats = parseStats(line)) m_history.push_back(*stats);
            else std::fprintf(stderr, "gpsdesk said: %s\n", line.c_str());
        }
        return true;
    }

    // Waits for the next stats line, up to `seconds`.
    std::optional<Stats> next(double seconds)
    {
        const std::size_t seen = m_history.size();
        const auto end = SteadyClock::now() + std::chrono::duration<double>(seconds);
        while (m_history.size() == seen && SteadyClock::now() < end)
            if (!read(0.2)) return std::nullopt;
        if (m_history.size() == seen) return std::nullopt;
        return m_history.back();
    }

    const std::vector<Stats>& history() const { return m_history; }

    // Ends the program as a desktop session would; its exit status.
    int stop()
    {
        ::kill(m_pid, SIGTERM);
        while (read(1.0)) {
        }
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t m_pid = -1;
    int m_err = -1;
    std::string m_pending;
    std::vector<Stats> m_history;
};

// The most window repaints and view paints in any one reporting second between two
// stats lines' times.
std::pair<double, double> mostPerSecond(const std::vector<Stats>& history, double from, double to)
{
    double repaints = 0, paints = 0;
    for (std::size_t i = 1; i < history.size(); ++i) {
        if (history[i].t <= from || history[i - 1].t >= to) continue;
        const double dt = history[i].t - history[i - 1].t;
        if (dt <= 0) continue;
        repaints = std::max(repaints,
                            static_cast<double>(history[i].windowRepaints - history[i - 1].windowRepaints) / dt);
        paints = std::max(paints,
                          static_cast<double>(history[i].viewPaints - history[i - 1].viewPaints) / dt);
    }
    return {repaints, paints};
}

// True once gpsdesk holds the port (it marks it exclusive when it opens it).
bool waitForPortTaken(int heldSlave, Program& program, double seconds)
{
    const auto end = SteadyClock::now() + std::chrono::duration<double>(seconds);
    while (SteadyClock::now() < end) {
        int on = 0;
        if (::ioctl(heldSlave, TIOCGEXCL, &on) == 0 && on != 0) return true;
        program.read(0.1);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fputs("usage: qt_program_runner GPSDESK burst LINES [RUNS]\n"
                   "       qt_program_runner GPSDESK paced SECONDS\n",
                   stderr);
        return 2;
    }
    const std::string binary = argv[1];
    const bool paced = std::string(argv[2]) == "paced";
    const long lines = paced ? 0 : std::atol(argv[3]);
    const int runs = !paced && argc > 4 ? std::max(1, std::atoi(argv[4])) : 1;
    const double pacedSeconds = paced ? std::atof(argv[3]) : 0.0;

    // Burst: an idle replay, so nothing reaches the port but what is handed over. Paced: the
    // route replayed back to back at the line rate, so the line is always full.
    const std::string scratch = "/tmp/gpsdesk-qtprogram-" + std::to_string(::getpid());
    std::filesystem::create_directories(scratch + "/gpsdesk");
    const std::string log = scratch + "/input.log";
    sim::Options options;
    options.rate = kRate;
    options.replayPath = log;
    if (paced) {
        writeRouteLog(log, 600);
        options.loop = true;
    } else {
        std::ofstream(log, std::ios::binary) << onTheWire("$PGDSK,IDLE");
        options.unpaced = true;
    }
    sim::Simulator simulator(options);
    if (!simulator.start()) {
        std::fprintf(stderr, "simulator: %s\n", simulator.error().c_str());
        return 1;
    }
    const std::string port = simulator.devicePath();
    // The panes open during the run: the monitor and the satellites unless GPSDESK_BENCH_PANES
    // names others (comma-separated pane names, as the window keeps them).
    const char* panes = std::getenv("GPSDESK_BENCH_PANES");
    std::ofstream(scratch + "/gpsdesk/preferences.json")
        << "{\"serialPort\": \"" << port << "\", \"rate\": \"" << kRate << "\", \"openPanes\": \""
        << (panes ? panes : "monitor,satellites") << "\"}\n";
    // Held only to see the exclusive mark; never read.
    const int heldSlave = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);

    Program program(binary, port, scratch);
    if (!program.started() || heldSlave < 0) {
        std::fputs("cannot start gpsdesk\n", stderr);
        return 1;
    }
    if (!waitForPortTaken(heldSlave, program, 30.0)) {
        std::fputs("gpsdesk never took the port\n", stderr);
        program.stop();
        return 1;
    }
    // Past the connect sequence and the first paints of the window.
    const auto settle = SteadyClock::now() + std::chrono::seconds(3);
    while (SteadyClock::now() < settle) program.read(0.1);

    int failures = 0;
    if (paced) {
        const auto before = program.next(5.0);
        const double cpuBefore = program.cpuSeconds();
        const auto start = SteadyClock::now();
        const auto end = start + std::chrono::duration<double>(pacedSeconds);
        while (SteadyClock::now() < end) program.read(0.1);
        const double cpu = program.cpuSeconds() - cpuBefore;
        const double wall = std::chrono::duration<double>(SteadyClock::now() - start).count();
        const auto after = program.next(5.0);
        if (!before || !after) {
            std::fputs("gpsdesk stopped reporting\n", stderr);
            ++failures;
        } else {
            const double span = after->t - before->t;
            const auto [mostRepaints, mostPaints] = mostPerSecond(program.history(), before->t, after->t);
            std::printf("paced %u bit/s: %.1f s, %" PRIu64 " lines (%" PRIu64 " dropped), gpsdesk %.3f s CPU = %.2f %% of one "
                        "core; window repaints %.1f/s (most in a second %.0f), view paints %.1f/s "
                        "(most %.0f)\n",
                        kRate, wall, after->lines - before->lines, after->dropped - before->dropped, cpu, 100.0 * cpu / wall,
                        static_cast<double>(after->windowRepaints - before->windowRepaints) / span,
                        mostRepaints,
                        static_cast<double>(after->viewPaints - before->viewPaints) / span, mostPaints);
        }
    } else {
        std::string bytes;
        for (long queued = 0, second = 0; queued < lines; ++second)
            for (const std::string& line : secondOfOutput(static_cast<int>(second))) {
                if (queued == lines) break;
                bytes += line;
                ++queued;
            }
        for (int run = 0; run < runs; ++run) {
            const auto before = program.next(5.0);
            if (!before) {
                std::fputs("gpsdesk stopped reporting\n", stderr);
                ++failures;
                break;
            }
            const double cpuBefore = program.cpuSeconds();
            simulator.injectBytes(bytes);
            // Done when every line has been given to the main thread, or when it has been
            // quiet for a while with lines missing (then they were lost).
            std::optional<Stats> last = before;
            int quietReports = 0;
            while (last && last->lines - before->lines < static_cast<std::uint64_t>(lines)
                   && quietReports < 5) {
                const std::uint64_t seen = last->lines;
                last = program.next(5.0);
                quietReports = last && last->lines == seen ? quietReports + 1 : 0;
            }
            const double cpu = program.cpuSeconds() - cpuBefore;
            if (!last) {
                std::fputs("gpsdesk stopped reporting\n", stderr);
                ++failures;
                break;
            }
            const std::uint64_t handled = last->lines - before->lines;
            const std::uint64_t lost =
                static_cast<std::uint64_t>(lines) - std::min<std::uint64_t>(handled, lines);
            const auto [mostRepaints, mostPaints] = mostPerSecond(program.history(), before->t, last->t);
            std::printf("burst %d: %ld lines (%zu bytes) sent, %" PRIu64 " handled, %" PRIu64
                        " lost (%" PRIu64 " dropped by the reader's bound); gpsdesk %.3f s CPU = %.0f sentences per CPU-second; within "
                        "%.1f s wall; window repaints at most %.0f/s, view paints at most %.0f/s\n",
                        run + 1, lines, bytes.size(), handled, lost, last->dropped - before->dropped, cpu,
                        static_cast<double>(handled) / cpu, last->t - before->t, mostRepaints,
                        mostPaints);
            if (lost != 0) ++failures;
        }
    }
    const int status = program.stop();
    ::close(heldSlave);
    simulator.stop();
    std::filesystem::remove_all(scratch);
    if (status != 0) {
        std::fprintf(stderr, "gpsdesk ended with status %d\n", status);
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
