// SPDX-License-Identifier: GPL-3.0-or-later
// How much time a routing command costs above what the protocol itself
// takes: 200 ms of pacing before the first send plus the bytes on the line
// at 9600 baud (1.0417 ms a byte). The simulated device sends its bytes at
// that rate; the pseudo-terminal takes the program's bytes at once, so the
// floor counts the device's answer only.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <functional>

#include "ProcessRunner.h"
#include "SimulatedDevice.h"
#include "tavrik/INFOPORTDRIVER.h"
#include "tavrik/PortTable.h"
#include "xandrel/device/MatrixModels.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kPacingMs = 200.0;
constexpr double kByteMs = 10.0 / 9.6;  // 10 bits a byte at 9600 baud
constexpr int kPortNumber = 240;

std::unique_ptr<quellix::sim::SimulatedDevice> StartDevice(bool answer)
{
    quellix::sim::SimOptions options;
    options.model = xandrel::FindModel("INFOHDMIMATRIX0001_8_8");
    options.faults.realBaudRate = true;
    options.faults.dropAcknowledge = !answer;
    options.log = [](const std::string&) {};
    std::string error;
    auto device = quellix::sim::SimulatedDevice::Start(options, error);
    if (device)
        tavrik::PortTable::instance().assign(kPortNumber, device->address());
    return device;
}

// Times each run of `command` (false: it went wrong, with `failure` as the
// reason) and returns the mean in milliseconds.
double TimeEach(benchmark::State& state, const std::function<bool()>& command, const char* failure)
{
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const bool ok = command();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (!ok)
            state.SkipWithError(failure);
        state.SetIterationTime(ms / 1000.0);
        totalMs += ms;
    }
    return totalMs / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}

// An 8x8 model whose port is open on a simulated device.
struct OpenMatrix {
    explicit OpenMatrix(bool answering)
        : device(StartDevice(answering))
    {
        model.DEVMA_SetPortDriver(&driver);
        ready = device && driver.RS232_OpenPort(kPortNumber, 9600) == 1;
    }
    std::unique_ptr<quellix::sim::SimulatedDevice> device;
    INFOPORTDRIVER driver;
    INFOHDMIMATRIX0001_8_8 model;
    bool ready = false;
};

// One routing write of an 8x8 matrix: a 16-byte frame answered by AA and 16 bytes.
void RoutingCommand(benchmark::State& state)
{
    OpenMatrix matrix(true);
    if (!matrix.ready)
        return state.SkipWithError("no simulated device");
    BYTE input = 1;
    const double meanMs = TimeEach(
        state,
        [&] {
            input = input % 8 + 1;  // a different table each time, so it is sent
            const BYTE table[8] = {input, input, input, input, input, input, input, input};
            return matrix.model.DEVMA_SetVideoOutputChannel(table) == 1;
        },
        "the command failed");
    const double floorMs = kPacingMs + 17 * kByteMs;
    state.counters["floor_ms"] = floorMs;
    state.counters["overhead_ms"] = meanMs - floorMs;
}

// A command to a device that never answers, with the default read settings.
void AbsentDevice(benchmark::State& state)
{
    OpenMatrix matrix(false);
    if (!matrix.ready)
        return state.SkipWithError("no simulated device");
    const double meanMs = TimeEach(
        state, [&] { return matrix.model.DEVMA_GetVideoInputSignal() == 0; }, "an absent device answered");
    // The failure itself comes before the 200 ms that follow every failed attempt.
    state.counters["fails_after_pacing_ms"] = meanMs - 2 * kPacingMs;
}

// `quellix-cli route 1:N` as a whole process: read the routing (AA and 10
// bytes back), write it (AA and 16 bytes back), and read it back to confirm.
void CliRoute(benchmark::State& state)
{
    auto device = StartDevice(true);
    if (!device)
        return state.SkipWithError("no simulated device");
    int input = 1;
    const double meanMs = TimeEach(
        state,
        [&] {
            input = input % 8 + 1;
            const std::vector<std::string> arguments{"--port", device->address(), "route",
                                                     "1:" + std::to_string(input)};
            return testsupport::RunProcess(QUELLIX_CLI, arguments).exitCode == 0;
        },
        "quellix-cli failed");
    const double floorMs = 3 * kPacingMs + (11 + 17 + 11) * kByteMs;
    state.counters["floor_ms"] = floorMs;
    state.counters["overhead_ms"] = meanMs - floorMs;
}

BENCHMARK(RoutingCommand)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(AbsentDevice)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(CliRoute)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
