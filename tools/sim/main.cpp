// SPDX-License-Identifier: GPL-3.0-or-later
// quellix-sim: a virtual matrix switch on a pseudo-terminal or a TCP port.
#include <atomic>
#include <chrono>
#include <csignal>
#include <signal.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include <QCoreApplication>

#include "SimulatedDevice.h"
#include "xandrel/custom/AtomicFile.h"

using namespace quellix::sim;

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int)
{
    g_stop = true;
}

// SIGINT and SIGTERM end the simulator even while it waits for a front-panel
// command: the wait is interrupted instead of taken up again.
void StopOnSignals()
{
#if defined(SA_RESTART)
    struct sigaction action { };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
#else
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
#endif
}

const char* kUsage = "usage: quellix-sim [options]\n"
                     "Serves a virtual matrix switch on a pseudo-terminal (the default; its path is\n"
                     "printed) or on a TCP port. Front-panel commands are read from standard input.\n"
                     "Windows has no pseudo-terminals: there it serves TCP only.\n"
                     "\n"
                     "  --model M            class name (INFOHDMIMATRIX0001_4_4), mode index 0-10 or\n"
                     "                       display name; default INFOHDMIMATRIX0001_8_8\n"
                     "  --id N               the device's ID, 0-255 (default 0)\n"
                     "  --signals LIST       inputs that carry a signal, e.g. 1,2,5 (default none)\n"
                     "  --edid-dir DIR       EDIDs for the inputs, outputs and memory slots from the\n"
                     "                       .bin files of DIR (default: built-in EDIDs)\n"
                     "  --tcp [HOST:]PORT    serve TCP instead (PORT 0 picks a free port)\n"
                     "  --script FILE        front-panel commands to run first, one per line\n"
                     "  --command 'A; B'     the same, separated by semicolons\n"
                     "  --address-file FILE  write the address served to FILE\n"
                     "  --pin N              put \"N = address\" into the panel's port table file\n"
                     "  --pin-file FILE      that file (default data/ports.dat)\n"
                     "  --trace              log every frame received and sent, in hex, on stderr\n"
                     "faults:\n"
                     "  --no-ack             never answer\n"
                     "  --wrong-ack          answer with 55 instead of AA\n"
                     "  --cut N              send only N bytes of every reply after the AA\n"
                     "  --delay MS           delay every answer\n"
                     "  --noise PERCENT      a stray byte before that share of answers\n"
                     "  --baud               send bytes at the real 9600-baud rate\n"
                     "  --hang-up-after N    drop the line instead of answering frame N\n"
                     "  --ignore-routing     acknowledge routing writes but keep the routing\n"
                     "  --seed N             seed for the line noise\n"
                     "\n";

struct ProgramOptions {
    SimOptions sim;
    std::string script;
    std::string commands;
    std::string addressFile;
    std::string pinFile = "data/ports.dat";
    int pin = 0;
};

bool ToInt(const char* text, int low, int high, int& value)
{
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (!*text || *end || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseSignals(const std::string& list, int inputs, Bytes& signals)
{
    signals.assign(inputs, 0);
    std::istringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        int input = 0;
        if (!ToInt(item.c_str(), 1, inputs, input))
            return false;
        signals[input - 1] = 1;
    }
    return true;
}

// Returns an empty string when all is well, else the complaint.
std::string Parse(int argc, char** argv, ProgramOptions& options)
{
    std::string model = "INFOHDMIMATRIX0001_8_8";
    std::string signals;
    Faults& faults = options.sim.faults;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        int n = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(SimulatedDevice::help(), stdout);
            std::fputs("\n", stdout);
            std::exit(0);
        } else if (arg == "--version") {
            std::printf("quellix-sim %s\n%s\n", QUELLIX_VERSION, QUELLIX_LICENSE_NOTICE);
            std::exit(0);
        } else if (arg == "--model" && value(v)) {
            model = v;
        } else if (arg == "--id" && value(v) && ToInt(v, 0, 255, n)) {
            options.sim.deviceId = static_cast<uint8_t>(n);
        } else if (arg == "--edid-dir" && value(v)) {
            options.sim.edidFolder = v;
        } else if (arg == "--signals" && value(v)) {
            signals = v;
        } else if (arg == "--tcp" && value(v)) {
            std::string where = v;
            const auto colon = where.rfind(':');
            options.sim.tcp = true;
            if (colon != std::string::npos)
                options.sim.host = where.substr(0, colon);
            if (!ToInt(where.substr(colon == std::string::npos ? 0 : colon + 1).c_str(), 0, 65535, n))
                return "--tcp takes [HOST:]PORT";
            options.sim.port = static_cast<uint16_t>(n);
        } else if (arg == "--script" && value(v)) {
            options.script = v;
        } else if (arg == "--command" && value(v)) {
            options.commands = v;
        } else if (arg == "--address-file" && value(v)) {
            options.addressFile = v;
        } else if (arg == "--pin" && value(v) && ToInt(v, 1, 255, n)) {
            options.pin = n;
        } else if (arg == "--pin-file" && value(v)) {
            options.pinFile = v;
        } else if (arg == "--trace") {
            options.sim.trace = true;
        } else if (arg == "--no-ack") {
            faults.dropAcknowledge = true;
        } else if (arg == "--ignore-routing") {
            faults.ignoreRouting = true;
        } else if (arg == "--wrong-ack") {
            faults.wrongAcknowledge = true;
        } else if (arg == "--cut" && value(v) && ToInt(v, 0, 100000, n)) {
            faults.cutReplyTo = n;
        } else if (arg == "--delay" && value(v) && ToInt(v, 0, 600000, n)) {
            faults.delay = std::chrono::milliseconds(n);
        } else if (arg == "--noise" && value(v) && ToInt(v, 0, 100, n)) {
            faults.noisePercent = n;
        } else if (arg == "--baud") {
            faults.realBaudRate = true;
        } else if (arg == "--hang-up-after" && value(v) && ToInt(v, 1, 1 << 30, n)) {
            faults.hangUpAfterFrames = n;
        } else if (arg == "--seed" && value(v) && ToInt(v, 0, 1 << 30, n)) {
            options.sim.seed = static_cast<unsigned>(n);
        } else {
            return "bad option or value: " + arg;
        }
    }
    options.sim.model = xandrel::FindModelByAnyName(model);
    if (!options.sim.model)
        return "unknown model '" + model + "'";
    if (!signals.empty() && !ParseSignals(signals, options.sim.model->inputs, options.sim.signals))
        return "--signals takes input numbers 1-" + std::to_string(options.sim.model->inputs) + " separated by commas";
    return {};
}

// Runs one command line; false when it asks to quit.
bool Run(SimulatedDevice& device, const std::string& line)
{
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    if (verb == "quit" || verb == "exit")
        return false;
    if (verb == "sleep") {
        int ms = 0;
        words >> ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(ms, 0)));
        return true;
    }
    const std::string result = device.command(line);
    if (!result.empty())
        std::printf("%s\n", result.c_str());
    std::fflush(stdout);
    return true;
}

// Keeps "N = address" in the panel's port table file, replacing an older line for N.
void Pin(const std::string& file, int number, const std::string& address)
{
    std::ifstream in(file);
    std::string kept;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        int lineNumber = 0;
        if ((words >> lineNumber) && lineNumber == number)
            continue;
        kept += line + "\n";
    }
    std::string error;
    if (!xandrel::WriteFileAtomically(file, kept + std::to_string(number) + " = " + address + "\n", error))
        std::fprintf(stderr, "quellix-sim: %s\n", error.c_str());
}

void Announce(const ProgramOptions& options, const std::string& address)
{
    if (!options.addressFile.empty()) {
        std::string error;
        if (!xandrel::WriteFileAtomically(options.addressFile, address + "\n", error))
            std::fprintf(stderr, "quellix-sim: %s\n", error.c_str());
    }
    if (options.pin)
        Pin(options.pinFile, options.pin, address);
}

}  // namespace

int main(int argc, char** argv)
{
    ProgramOptions options;
    if (std::string problem = Parse(argc, argv, options); !problem.empty()) {
        std::fprintf(stderr, "quellix-sim: %s\n%s", problem.c_str(), kUsage);
        return 2;
    }
    StopOnSignals();
#if defined(SIGPIPE)
    std::signal(SIGPIPE, SIG_IGN);  // a reader of the output that went away is no reason to die
#endif
    // The line's thread runs a Qt event loop, which wants an application
    // object; this thread reads the front-panel commands instead of running it.
    QCoreApplication application(argc, argv);

    options.sim.log = [&options](const std::string& text) {
        std::fprintf(stderr, "quellix-sim: %s\n", text.c_str());
        if (text.rfind("line hung up; now serving ", 0) == 0)
            Announce(options, text.substr(std::strlen("line hung up; now serving ")));
    };
    std::string error;
    auto device = SimulatedDevice::Start(options.sim, error);
    if (!device) {
        std::fprintf(stderr, "quellix-sim: %s\n", error.c_str());
        return 3;
    }
    const xandrel::ModelSpec& model = *options.sim.model;
    std::printf("quellix-sim: serving %s (%s, %d inputs, %d outputs, device ID %d)\n", device->address().c_str(),
                model.className, model.inputs, model.outputs, options.sim.deviceId);
    std::fflush(stdout);
    Announce(options, device->address());

    bool running = true;
    if (!options.script.empty()) {
        std::ifstream script(options.script);
        if (!script) {
            std::fprintf(stderr, "quellix-sim: cannot read %s\n", options.script.c_str());
            return 4;
        }
        for (std::string line; running && std::getline(script, line);)
            running = Run(*device, line);
    }
    std::istringstream commands(options.commands);
    for (std::string line; running && std::getline(commands, line, ';');)
        running = Run(*device, line);

    for (std::string line; running && !g_stop && std::getline(std::cin, line);)
        running = Run(*device, line);
    while (running && !g_stop)  // standard input closed: serve until stopped
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    device->stop();
    return 0;
}
