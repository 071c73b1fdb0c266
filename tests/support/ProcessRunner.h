// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs a program to its end and collects its exit status and output.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <string>
#include <vector>

#if defined(Q_OS_UNIX)
#include <unistd.h>
extern char** environ;
#endif

namespace testsupport {

struct ProcessResult {
    int exitCode = -1;  // 128 + the signal for a program killed by one; -1 when it did not start
    std::string out;
    std::string err;
};

// `program` is looked up on the PATH like a shell would; `extraEnvironment`
// holds "NAME=value" entries that add to or override the test's own
// environment. Standard input is empty.
inline ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                                const std::vector<std::string>& extraEnvironment = {},
                                const std::string& workingFolder = {})
{
    QStringList words;
    for (const std::string& argument : arguments)
        words.append(QString::fromStdString(argument));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const std::string& entry : extraEnvironment) {
        const size_t equals = entry.find('=');
        environment.insert(QString::fromStdString(entry.substr(0, equals)),
                           QString::fromStdString(equals == std::string::npos ? "" : entry.substr(equals + 1)));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!workingFolder.empty())
        process.setWorkingDirectory(QString::fromStdString(workingFolder));
#if defined(Q_OS_UNIX)
    // Here an argument is bytes and need not be UTF-8 (a file name in another
    // encoding), but QProcess passes text. For such an argument the child,
    // once QProcess has set up its output and folder, starts the program
    // itself with the exact bytes and the same environment.
    std::vector<std::string> rawWords;
    std::vector<std::string> rawEnvironment(extraEnvironment);
    std::vector<char*> rawArgv;
    std::vector<char*> rawEnvp;
    const auto isText = [](const std::string& bytes) { return QString::fromStdString(bytes).toStdString() == bytes; };
    if (!std::all_of(arguments.begin(), arguments.end(), isText)) {
        const bool bare = program.find('/') == std::string::npos;
        rawWords.push_back(bare ? QStandardPaths::findExecutable(QString::fromStdString(program)).toStdString()
                                : program);
        rawWords.insert(rawWords.end(), arguments.begin(), arguments.end());
        for (char** entry = environ; *entry; ++entry)
            rawEnvironment.emplace_back(*entry);
        for (std::string& word : rawWords)
            rawArgv.push_back(word.data());
        rawArgv.push_back(nullptr);
        for (std::string& entry : rawEnvironment)
            rawEnvp.push_back(entry.data());
        rawEnvp.push_back(nullptr);
        process.setChildProcessModifier([&rawArgv, &rawEnvp] { ::execve(rawArgv[0], rawArgv.data(), rawEnvp.data()); });
    }
#endif
    process.start(QString::fromStdString(program), words);
    ProcessResult result;
    if (!process.waitForStarted(-1))
        return result;
    process.waitForFinished(-1);
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    result.out.assign(out.constData(), static_cast<size_t>(out.size()));
    result.err.assign(err.constData(), static_cast<size_t>(err.size()));
    result.exitCode = process.exitStatus() == QProcess::CrashExit ? 128 + process.exitCode() : process.exitCode();
    return result;
}

}  // namespace testsupport
