// SPDX-License-Identifier: BSD-2-Clause
#pragma once

#include <string>

// Files the user names for GPS Desk to write (a recording, a track export). A name in a
// shared folder can be a link someone else planted there, pointing at a file of theirs or
// of the system: GPS Desk never writes through a link, and never writes into anything but a
// plain file (a FIFO would block, a device would take the bytes).
//
// A file written whole before it takes the name: beginReplacing(), write to descriptor(),
// commit(). Until commit() succeeds an earlier file at the name stays as it was; an
// uncommitted new file is removed with the object.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the new file beside path. False with error set (user-facing) when path is a
    // link or not a plain file, or the folder takes no file.
    bool beginReplacing(const std::string& path, std::string& error);
    int descriptor() const { return m_fd; }  // -1 before beginReplacing()
    // Flushes the new file to the disk and renames it over path: a link that appeared at
    // path meanwhile is replaced, never followed. False with error set otherwise.
    bool commit(std::string& error);

    // Opens path for writing, created with mode 0644 or cut to nothing. The descriptor
    // (close-on-exec, blocking), or -1 with error set to a user-facing text and errno kept.
    static int openForWriting(const std::string& path, std::string& error);

    // Empty when path may be written: nothing there yet, or a plain file; otherwise why not.
    static std::string refusal(const std::string& path);

private:
    std::string m_path;
    std::string m_temporary;
    int m_fd = -1;
};
