// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Private to Tavrik: the lock file a serial port is held by.
//
// The window and the daemon open ports through Qt SerialPort, which on Unix
// holds a port by a lock file "LCK..<name>" (<name> the path without "/dev/",
// each '/' made '_') in the first of a fixed list of folders that is readable
// and either writable or already holds that file. The file is Qt's lock file:
// created exclusively, kept flock()ed by its owner, holding
// "PID\nPROGRAM\nHOST\nMACHINE-ID\nBOOT-ID\n". A program without Qt that
// opens ports takes the same file the same way, so a port held by either is
// in use to the other.
#include <string>

namespace tavrik {

class PortLockFile {
public:
    enum class Outcome {
        Taken,
        Held,   // a live owner has it
        Failed  // errno says why
    };

    PortLockFile() = default;
    ~PortLockFile();  // removes the file when this holds it
    PortLockFile(const PortLockFile&) = delete;
    PortLockFile& operator=(const PortLockFile&) = delete;

    // Where the lock of a device path lives; empty when no folder serves.
    static std::string PathFor(const std::string& devicePath);

    // Creates the lock file at `path`, taking over one its owner left
    // behind (a dead process, another boot, or older than 30 seconds and
    // held by no one).
    Outcome take(const std::string& path);

    const std::string& path() const { return path_; }

private:
    Outcome take(const std::string& path, int depth);
    void release();

    std::string path_;
    int descriptor_ = -1;
};

}  // namespace tavrik
