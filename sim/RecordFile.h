// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// Where every byte received from the application is kept: a plain file, emptied on open,
// never reached through a link planted at its name, never a FIFO or a device. Single thread.
class RecordFile {
public:
    RecordFile() = default;
    ~RecordFile() { close(); }
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // False with error() set when the file cannot be opened or is not a plain file.
    bool open(const std::string& path);
    // Writes what it can; a full disk loses the rest rather than stopping the receiver.
    void write(const std::uint8_t* bytes, std::size_t count);
    void close();
    const std::string& error() const { return m_error; }

private:
    int m_fd = -1;
    std::string m_error;
};

}  // namespace sim
