// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <chrono>
#include <string>

namespace testpty {

// A pseudo-terminal pair for serial tests: the test plays the device on the master side,
// the code under test opens slavePath(). Closing the master is a hang-up for the slave.
class PseudoTerminal {
public:
    PseudoTerminal();   // check ok() before use
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return m_master >= 0; }
    const std::string& slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    // Keeps a descriptor of the slave open, opened before the code under test claims the
    // device exclusively; its terminal settings are the ones the code under test applied.
    int holdSlave();

    bool write(const std::string& bytes);
    // Everything the slave side wrote, collected until quietFor passes with nothing new.
    std::string readAll(std::chrono::milliseconds quietFor = std::chrono::milliseconds(50));
    void closeMaster();

private:
    int m_master = -1;
    int m_heldSlave = -1;
    std::string m_slavePath;
};

}  // namespace testpty
