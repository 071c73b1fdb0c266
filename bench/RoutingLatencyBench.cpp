// How much time a routing command costs above what the protocol itself
// takes: 200 ms of pacing before the first send plus the bytes on the line
// at 9600 baud (1.0417 ms a byte). The simulated device sends its bytes at
// that rate; the pseudo-terminal takes the program's bytes at once, so the
// floor counts the device's answer only.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <chrono>

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

double Milliseconds(Clock::duration elapsed)
{
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

// One routing write of an 8x8 matrix: a 16-byte frame answered by AA and 16 bytes.
void RoutingCommand(benchmark::State& state)
{
    auto device = StartDevice(true);
    INFOPORTDRIVER driver;
    INFOHDMIMATRIX0001_8_8 model;
    model.DEVMA_SetPortDriver(&driver);
    if (!device || driver.RS232_OpenPort(kPortNumber, 9600) != 1) {
        state.SkipWithError("no simulated device");
        return;
    }
    const double floorMs = kPacingMs + 17 * kByteMs;
    double totalMs = 0;
    BYTE input = 1;
    for (auto _ : state) {
        input = input % 8 + 1;  // a different table each time, so it is sent
        const BYTE table[8] = {input, input, input, input, input, input, input, input};
        const auto start = Clock::now();
        const int ok = model.DEVMA_SetVideoOutputChannel(table);
        const double ms = Milliseconds(Clock::now() - start);
        if (!ok)
            state.SkipWithError("the command failed");
        state.SetIterationTime(ms / 1000.0);
        totalMs += ms;
    }
    state.counters["floor_ms"] = floorMs;
    state.counters["overhead_ms"] = totalMs / static_cast<double>(state.iterations()) - floorMs;
}

// A command to a device that never answers, with the default read settings.
void AbsentDevice(benchmark::State& state)
{
    auto device = StartDevice(false);
    INFOPORTDRIVER driver;
    INFOHDMIMATRIX0001_8_8 model;
    model.DEVMA_SetPortDriver(&driver);
    if (!device || driver.RS232_OpenPort(kPortNumber, 9600) != 1) {
        state.SkipWithError("no simulated device");
        return;
    }
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (model.DEVMA_GetVideoInputSignal())
            state.SkipWithError("an absent device answered");
        const double ms = Milliseconds(Clock::now() - start);
        state.SetIterationTime(ms / 1000.0);
        totalMs += ms;
    }
    // The failure itself comes before the 200 ms that follow every failed attempt.
    state.counters["fails_after_pacing_ms"] = totalMs / static_cast<double>(state.iterations()) - 2 * kPacingMs;
}

// `quellix-cli route 1:N` as a whole process: read the routing (AA and 10
// bytes back), then write it (AA and 16 bytes back).
void CliRoute(benchmark::State& state)
{
    auto device = StartDevice(true);
    if (!device) {
        state.SkipWithError("no simulated device");
        return;
    }
    const double floorMs = 2 * kPacingMs + (11 + 17) * kByteMs;
    double totalMs = 0;
    int input = 1;
    for (auto _ : state) {
        input = input % 8 + 1;
        const auto start = Clock::now();
        const auto result = testsupport::RunProcess(QUELLIX_CLI, {"--port", device->address(), "route", "1:" + std::to_string(input)});
        const double ms = Milliseconds(Clock::now() - start);
        if (result.exitCode != 0)
            state.SkipWithError(result.err.c_str());
        state.SetIterationTime(ms / 1000.0);
        totalMs += ms;
    }
    state.counters["floor_ms"] = floorMs;
    state.counters["overhead_ms"] = totalMs / static_cast<double>(state.iterations()) - floorMs;
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
