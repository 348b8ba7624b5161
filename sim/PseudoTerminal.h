// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// The simulated receiver's port: a pseudo-terminal, raw on both sides, with an optional
// symbolic link to its device. The slave side stays open so that the terminal outlives the
// application's reconnects; closing hangs up every slave descriptor, which the application
// sees as an unplugged adapter. Single thread.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();  // close()
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Opens both sides raw at the rate, the master non-blocking. False with error() set (and
    // nothing left open) when any step fails.
    bool open(std::uint32_t rate);
    // Links path to the device, replacing a stale link there but never a file. False with
    // error() set when the link cannot be made.
    bool link(const std::string& path);
    // Hangs up and removes the link. True when the terminal was open.
    bool close();

    bool isOpen() const { return m_master >= 0; }
    int master() const { return m_master; }          // -1 when closed
    const std::string& devicePath() const { return m_devicePath; }  // the slave side
    const std::string& error() const { return m_error; }
    // True when the application's side is set to the rate (or cannot be asked): both ends of
    // a pseudo-terminal share the settings the application made on its side.
    bool speedMatches(std::uint32_t rate) const;

private:
    bool fail(const std::string& what);

    int m_master = -1;
    int m_slave = -1;
    std::string m_devicePath;
    std::string m_linkPath;  // made by link(), removed by close()
    std::string m_error;
};

}  // namespace sim
