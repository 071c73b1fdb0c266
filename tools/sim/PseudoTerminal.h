// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace quellix::sim {

// A pseudo-terminal pair in raw mode. The device side reads and writes the
// master; programs open the slave path as if it were a serial port. The
// slave is kept open here too, so a program closing and reopening the port
// does not hang up the line. POSIX systems only (PseudoTerminal_posix.cpp);
// elsewhere ok() is false and error() says to serve TCP instead.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return master_ >= 0; }
    // The master's descriptor, to watch for bytes arriving.
    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    const std::string& error() const { return error_; }

    // Reads what has arrived without waiting: the count, 0 when nothing has,
    // -1 when the line is down (no program holds the slave side).
    std::ptrdiff_t read(uint8_t* buffer, size_t size);
    // Writes without waiting: the count written, 0 when the line takes
    // nothing now, -1 on failure.
    std::ptrdiff_t write(const uint8_t* bytes, size_t size);

    // Closes both sides: programs holding the slave see the line hang up.
    void close();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string error_;
};

}  // namespace quellix::sim
