// SPDX-License-Identifier: GPL-3.0-or-later
// quellixd: owns the serial line of each configured matrix switch and shares
// it: a TCP line per device speaking the device's protocol, an HTTP API and
// an event WebSocket.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "Config.h"
#include "Daemon.h"
#include "Log.h"
#include "tavrik/ErrorReporter.h"

using namespace quellixd;

namespace {

const char* kUsage = "usage: quellixd [--config FILE] [--check-config]\n"
                     "Owns the serial line of each configured matrix switch and shares it: a TCP\n"
                     "port per device that speaks the device's own protocol (quellix-cli --port\n"
                     "tcp://HOST:PORT works through it), an HTTP API, an event WebSocket and,\n"
                     "with an \"mqtt\" section, MQTT with Home Assistant's discovery.\n"
                     "\n"
                     "  --config FILE   the configuration (JSON); default ~/.config/quellix/quellixd.conf\n"
                     "                  when it exists, else /etc/quellix/quellixd.conf\n"
                     "  --check-config  check the configuration and exit: 0 when it can run, 2 if not\n"
                     "  -h, --help      this help\n"
                     "  --version       the program's version\n"
                     "\n"
                     "signals: SIGTERM and SIGINT end the daemon once the requests under way are answered\n"
                     "(5 s at most); SIGHUP reads the configuration again, keeping what did not change.\n"
                     "exit status: 0 ended by a signal or configuration good, 1 cannot listen,\n"
                     "2 usage error or configuration not valid.\n";

// On SIGTERM, requests under way get this long to be answered.
constexpr int kDrainMs = 5000;

int g_signalPipe[2] = {-1, -1};

void OnSignal(int number)
{
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

// What the command line asks for; `exit` >= 0 ends the program at once.
struct Options {
    QString configPath;
    bool checkOnly = false;
    int exit = -1;
};

Options ReadOptions(int argc, char** argv)
{
    Options options;
    for (int k = 1; k < argc && options.exit < 0; ++k) {
        const std::string argument = argv[k];
        if (argument == "-h" || argument == "--help") {
            std::fputs(kUsage, stdout);
            options.exit = 0;
        } else if (argument == "--version") {
            std::printf("quellixd %s\n%s\n", QUELLIX_VERSION, QUELLIX_LICENSE_NOTICE);
            options.exit = 0;
        } else if (argument == "--check-config") {
            options.checkOnly = true;
        } else if (argument == "--config" && k + 1 < argc) {
            options.configPath = QString::fromLocal8Bit(argv[++k]);
        } else if (argument.rfind("--config=", 0) == 0) {
            options.configPath = QString::fromLocal8Bit(argv[k] + 9);
        } else {
            std::fprintf(stderr, "quellixd: unknown argument '%s'\n%s", argv[k], kUsage);
            options.exit = 2;
        }
    }
    return options;
}

void TellConfigGood(const QString& path, const DaemonConfig& config)
{
    const QString mqtt =
        config.mqtt ? ", MQTT broker " + config.mqtt->host + ":" + QString::number(config.mqtt->port) : QString();
    std::printf("%s: good (%zu device%s)%s\n", path.toLocal8Bit().constData(), config.devices.size(),
                config.devices.size() == 1 ? "" : "s", mqtt.toLocal8Bit().constData());
}

// Signals become bytes on a pipe, read by the event loop: a handler may do
// nothing more.
bool CatchSignals()
{
    if (::pipe(g_signalPipe) != 0) {
        Log(QString("cannot set up signal handling: ") + std::strerror(errno));
        return false;
    }
    struct sigaction action { };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(number, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

void Reload(Daemon& daemon, const QString& configPath)
{
    DaemonConfig fresh;
    QString problem;
    if (!LoadConfig(configPath, fresh, problem))
        Log("SIGHUP: configuration not valid, keeping the running one: " + problem);
    else if (daemon.reload(fresh, problem))
        Log("SIGHUP: configuration read again");
    else
        Log("SIGHUP: the new configuration cannot run, keeping the running one: " + problem);
}

void TakeSignal(Daemon& daemon, const QString& configPath)
{
    char number = 0;
    if (::read(g_signalPipe[0], &number, 1) != 1)
        return;
    if (number == SIGHUP) {
        Reload(daemon, configPath);
        return;
    }
    Log(QString("ending on ") + (number == SIGTERM ? "SIGTERM" : "SIGINT")
        + ": answering the requests under way first");
    daemon.drain(kDrainMs, [] { QCoreApplication::quit(); });
}

}  // namespace

int main(int argc, char** argv)
{
    Options options = ReadOptions(argc, argv);
    if (options.exit >= 0)
        return options.exit;
    QCoreApplication application(argc, argv);
    if (options.configPath.isEmpty())
        options.configPath = DefaultConfigPath();
    DaemonConfig config;
    QString error;
    if (!LoadConfig(options.configPath, config, error)) {
        Log("configuration not valid: " + error);
        return 2;
    }
    if (options.checkOnly) {
        TellConfigGood(options.configPath, config);
        return 0;
    }
    if (!CatchSignals())
        return 1;
    // The port driver's own reports of a lost or missing port: the daemon
    // logs each with the device's name as its state changes.
    tavrik::SetErrorReporter([](const std::string&) {});
    Daemon daemon;
    if (!daemon.start(config, error)) {
        Log(error);
        return 1;
    }
    Log("running with " + options.configPath);
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] { TakeSignal(daemon, options.configPath); });
    const int status = QCoreApplication::exec();
    daemon.stop();
    return status;
}
