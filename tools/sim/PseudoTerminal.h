#pragma once
#include <string>

namespace quellix::sim {

// A pseudo-terminal pair in raw mode. The device side reads and writes the
// master; programs open the slave path as if it were a serial port. The
// slave is kept open here too, so a program closing and reopening the port
// does not hang up the line.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return master_ >= 0; }
    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    const std::string& error() const { return error_; }

    // Closes both sides: programs holding the slave see the line hang up.
    void close();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string error_;
};

}  // namespace quellix::sim
