// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The outputs an operator has locked: a locked output keeps its input
// whatever routing is asked for, until it is unlocked. Kept per data folder
// (one matrix) in data/locks.json, a JSON file people may read and edit:
//   {"locked": [3, 5]}
// Output numbers are 1-based, 1-255; the model's own count is not checked
// here, so the file of a matrix whose window changed model keeps its locks.
#include <set>
#include <string>
#include <vector>

#include "xandrel/XandrelExport.h"

namespace xandrel {

class XANDREL_EXPORT OutputLocks {
public:
    // Reads the file; a missing file locks nothing. A file that is no locks
    // file (not JSON, other fields, an entry that is no output number) gives
    // false and `error` naming the file; the set is then empty, and the
    // caller must not save over the file.
    static bool Load(const std::string& path, OutputLocks& locks, std::string& error);
    // Writes the set through the safe writer.
    bool Save(const std::string& path, std::string& error) const;

    bool isLocked(int output) const { return locked_.count(output) != 0; }
    // Locks or unlocks one output; numbers outside 1-255 are ignored.
    void set(int output, bool locked);
    // Flips one output; its new state.
    bool toggle(int output);
    const std::set<int>& locked() const { return locked_; }

    // The routing to write when `wanted` is asked for while the device has
    // `current` (the input of every output, output 1 first): every locked
    // output keeps its current input.
    std::vector<int> keepLocked(std::vector<int> wanted, const std::vector<int>& current) const;

private:
    std::set<int> locked_;
};

// data/locks.json in `folder`.
XANDREL_EXPORT std::string LocksFilePath(const std::string& folder);

}  // namespace xandrel
