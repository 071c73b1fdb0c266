// quellix-sim as a program: it ends on SIGTERM while its standard input stays
// open and a client holds its line.
#include <gtest/gtest.h>

#include <QProcess>
#include <fcntl.h>
#include <unistd.h>

TEST(SimProgram, EndsOnSigtermWhileAClientHoldsItsLine)
{
    QProcess sim;
    sim.start(QUELLIX_SIM, {});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QString banner = QString::fromUtf8(sim.readLine());
    const QString address = banner.section(' ', 2, 2);  // "quellix-sim: serving /dev/pts/N (...)"
    ASSERT_TRUE(address.startsWith("/dev/")) << banner.toStdString();
    const int client = ::open(address.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(client, 0);

    sim.terminate();  // SIGTERM; its standard input is still open
    EXPECT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    ::close(client);
    if (sim.state() != QProcess::NotRunning)
        sim.kill();
}
