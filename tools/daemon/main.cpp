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

}  // namespace

int main(int argc, char** argv)
{
    QString configPath;
    bool checkOnly = false;
    for (int k = 1; k < argc; ++k) {
        const std::string argument = argv[k];
        if (argument == "-h" || argument == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("quellixd %s\n%s\n", QUELLIX_VERSION, QUELLIX_LICENSE_NOTICE);
            return 0;
        }
        if (argument == "--check-config") {
            checkOnly = true;
        } else if (argument == "--config" && k + 1 < argc) {
            configPath = QString::fromLocal8Bit(argv[++k]);
        } else if (argument.rfind("--config=", 0) == 0) {
            configPath = QString::fromLocal8Bit(argv[k] + 9);
        } else {
            std::fprintf(stderr, "quellixd: unknown argument '%s'\n%s", argv[k], kUsage);
            return 2;
        }
    }
    QCoreApplication application(argc, argv);
    if (configPath.isEmpty())
        configPath = DefaultConfigPath();

    DaemonConfig config;
    QString error;
    if (!LoadConfig(configPath, config, error)) {
        Log("configuration not valid: " + error);
        return 2;
    }
    if (checkOnly) {
        const QString mqtt =
            config.mqtt ? ", MQTT broker " + config.mqtt->host + ":" + QString::number(config.mqtt->port) : QString();
        std::printf("%s: good (%zu device%s)%s\n", configPath.toLocal8Bit().constData(), config.devices.size(),
                    config.devices.size() == 1 ? "" : "s", mqtt.toLocal8Bit().constData());
        return 0;
    }

    if (::pipe(g_signalPipe) != 0) {
        Log(QString("cannot set up signal handling: ") + std::strerror(errno));
        return 1;
    }
    struct sigaction action { };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(number, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // The port driver's own reports of a lost or missing port: the daemon
    // logs each with the device's name as its state changes.
    tavrik::SetErrorReporter([](const std::string&) {});
    Daemon daemon;
    if (!daemon.start(config, error)) {
        Log(error);
        return 1;
    }
    Log("running with " + configPath);
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char number = 0;
        if (::read(g_signalPipe[0], &number, 1) != 1)
            return;
        if (number != SIGHUP) {
            Log(QString("ending on ") + (number == SIGTERM ? "SIGTERM" : "SIGINT")
                + ": answering the requests under way first");
            daemon.drain(kDrainMs, [] { QCoreApplication::quit(); });
            return;
        }
        DaemonConfig fresh;
        QString problem;
        if (!LoadConfig(configPath, fresh, problem)) {
            Log("SIGHUP: configuration not valid, keeping the running one: " + problem);
            return;
        }
        if (daemon.reload(fresh, problem))
            Log("SIGHUP: configuration read again");
        else
            Log("SIGHUP: the new configuration cannot run, keeping the running one: " + problem);
    });
    const int status = QCoreApplication::exec();
    daemon.stop();
    return status;
}
