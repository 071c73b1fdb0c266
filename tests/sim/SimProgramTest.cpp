// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-sim as a program: it ends on SIGTERM while it waits for a
// front-panel command on a pipe that stays open and a client holds its line.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(SimProgram, EndsOnSigtermWhileAClientHoldsItsLine)
{
    // A named pipe as standard input, blocking as a shell's pipe is.
    const std::string commands = ::testing::TempDir() + "sim-commands-" + std::to_string(::getpid());
    std::filesystem::remove(commands);
    ASSERT_EQ(::mkfifo(commands.c_str(), 0600), 0);
    const int frontPanel = ::open(commands.c_str(), O_RDWR);  // opening for reading need not wait then
    ASSERT_GE(frontPanel, 0);
    QProcess sim;
    sim.setStandardInputFile(QString::fromStdString(commands));
    sim.start(QUELLIX_SIM, {});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QString banner = QString::fromUtf8(sim.readLine());
    const QString address = banner.section(' ', 2, 2);  // "quellix-sim: serving /dev/pts/N (...)"
    const int client = ::open(address.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(client, 0) << banner.toStdString();
    // A front-panel command answered: the simulator waits for the next one.
    ASSERT_EQ(::write(frontPanel, "status\n", 7), 7);
    ASSERT_TRUE(sim.waitForReadyRead(5000));

    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    if (sim.state() != QProcess::NotRunning) {
        sim.kill();
        sim.waitForFinished(5000);
    }
    ::close(client);
    ::close(frontPanel);
    std::filesystem::remove(commands);
}
