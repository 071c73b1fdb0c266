#pragma once
// The command line of the windowed programs, read before any window, display
// connection or data folder exists: --help and --version are answered and an
// unknown option is refused without them. Qt's own options (-platform NAME,
// -style NAME, -reverse, ...) are left for QApplication.
#include <optional>

namespace quellix {

struct ProgramUsage {
    const char* name;   // the program's name, as typed
    const char* about;  // what the program does, for --help
};

// The exit status when the command line was answered (0) or refused (2);
// nothing when the program is to go on.
std::optional<int> AnswerCommandLine(int argc, char** argv, const ProgramUsage& usage);

}  // namespace quellix
