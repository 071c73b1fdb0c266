// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedDevice.h"

#include <cstdio>
#include <sstream>

namespace quellix::sim {
namespace {

constexpr uint8_t kWrongAcknowledge = 0x55;
constexpr std::chrono::microseconds kByteTimeAt9600{1042};  // 10 bits a byte

void PrintToStderr(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
}

std::string Join(const Bytes& values)
{
    std::string text;
    for (uint8_t value : values)
        text += (text.empty() ? "" : " ") + std::to_string(value);
    return text;
}

bool ReadNumber(std::istringstream& words, int& value)
{
    std::string word;
    if (!(words >> word))
        return false;
    try {
        size_t used = 0;
        value = std::stoi(word, &used, 0);
        return used == word.size();
    } catch (...) {
        return false;
    }
}

// The first word of route and signal: "all" (1 to count) or one number.
bool ReadTargets(std::istringstream& words, int count, int& from, int& to)
{
    const auto start = words.tellg();
    std::string word;
    if (words >> word && word == "all") {
        from = 1;
        to = count;
        return true;
    }
    words.clear();
    words.seekg(start);
    if (!ReadNumber(words, from))
        return false;
    to = from;
    return true;
}

}  // namespace

std::string Hex(const Bytes& bytes)
{
    std::string text;
    char digits[4];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += (text.empty() ? "" : " ") + std::string(digits);
    }
    return text;
}

std::string Faults::describe() const
{
    std::string text;
    auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (dropAcknowledge)
        add("no acknowledgement");
    if (wrongAcknowledge)
        add("wrong acknowledgement byte");
    if (cutReplyTo >= 0)
        add("replies cut to " + std::to_string(cutReplyTo) + " bytes");
    if (delay.count() > 0)
        add("replies delayed " + std::to_string(delay.count()) + " ms");
    if (noisePercent > 0)
        add(std::to_string(noisePercent) + "% line noise");
    if (realBaudRate)
        add("9600-baud pacing");
    if (hangUpAfterFrames > 0)
        add("hang up at frame " + std::to_string(hangUpAfterFrames));
    if (ignoreRouting)
        add("routing writes ignored");
    return text.empty() ? "none" : text;
}

SimulatedDevice::SimulatedDevice(const SimOptions& options)
    : matrix_(*options.model, options.deviceId)
    , faults_(options.faults)
    , trace_(options.trace)
    , log_(options.log ? options.log : PrintToStderr)
    , random_(options.seed)
{
    for (size_t input = 0; input < options.signals.size() && input < options.model->inputs; ++input)
        matrix_.frontPanelSignal(static_cast<int>(input + 1), options.signals[input] != 0);
    std::string error;
    if (!options.edidFolder.empty() && matrix_.loadEdids(options.edidFolder, error) == 0)
        log_("keeping the built-in EDIDs: " + error);
}

std::unique_ptr<SimulatedDevice> SimulatedDevice::Start(const SimOptions& options, std::string& error)
{
    if (!options.model) {
        error = "no model given";
        return nullptr;
    }
    std::unique_ptr<SimulatedDevice> device(new SimulatedDevice(options));
    auto receiver = [raw = device.get()](const Bytes& bytes) { raw->onBytes(bytes); };
    auto line = options.tcp ? LineServer::OnTcp(options.host, options.port, receiver, error)
                            : LineServer::OnPseudoTerminal(receiver, error);
    if (!line)
        return nullptr;
    {
        // The line's thread answers under the same lock.
        std::lock_guard lock(device->mutex_);
        device->line_ = std::move(line);
    }
    device->line_->onAddressChange(
        [raw = device.get()](const std::string& address) { raw->log_("line hung up; now serving " + address); });
    return device;
}

SimulatedDevice::~SimulatedDevice()
{
    stop();
}

void SimulatedDevice::stop()
{
    if (line_)
        line_->stop();
}

std::string SimulatedDevice::address() const
{
    return line_->address();
}

std::vector<Bytes> SimulatedDevice::frames() const
{
    std::lock_guard lock(mutex_);
    return frames_;
}

std::vector<std::chrono::steady_clock::time_point> SimulatedDevice::frameTimes() const
{
    std::lock_guard lock(mutex_);
    return frameTimes_;
}

std::chrono::milliseconds SimulatedDevice::shortestFrameGap() const
{
    std::lock_guard lock(mutex_);
    std::chrono::steady_clock::duration shortest = std::chrono::steady_clock::duration::max();
    for (size_t k = 1; k < frameTimes_.size(); ++k)
        shortest = std::min(shortest, frameTimes_[k] - frameTimes_[k - 1]);
    return frameTimes_.size() < 2 ? std::chrono::milliseconds{0}
                                  : std::chrono::duration_cast<std::chrono::milliseconds>(shortest);
}

bool SimulatedDevice::answering() const
{
    return line_->sending();
}

Bytes SimulatedDevice::routing() const
{
    std::lock_guard lock(mutex_);
    return matrix_.routing();
}

Bytes SimulatedDevice::signals() const
{
    std::lock_guard lock(mutex_);
    return matrix_.signals();
}

uint8_t SimulatedDevice::deviceId() const
{
    std::lock_guard lock(mutex_);
    return matrix_.deviceId();
}

void SimulatedDevice::withMatrix(const std::function<void(VirtualMatrix&)>& use)
{
    std::lock_guard lock(mutex_);
    use(matrix_);
}

void SimulatedDevice::setFaults(const Faults& faults)
{
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

void SimulatedDevice::trace(const std::string& direction, const Bytes& bytes, const std::string& note) const
{
    if (trace_)
        log_(direction + " " + Hex(bytes) + (note.empty() ? "" : "  (" + note + ")"));
}

void SimulatedDevice::onBytes(const Bytes& bytes)
{
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastBytes_);
    lastBytes_ = now;
    matrix_.ignoresRoutingWrites = faults_.ignoreRouting;
    for (const Received& received : matrix_.receive(bytes, gap)) {
        std::string note = received.note;
        if (received.wellFormed && !frameTimes_.empty())  // the rest since the frame before, for the trace
            note += (note.empty() ? "+" : ", +")
                + std::to_string(
                        std::chrono::duration_cast<std::chrono::milliseconds>(now - frameTimes_.back()).count())
                + " ms";
        trace("rx", received.frame, note);
        if (received.wellFormed) {
            frames_.push_back(received.frame);
            frameTimes_.push_back(now);
        }
        if (!received.answer)
            continue;
        if (++framesTaken_ == faults_.hangUpAfterFrames) {
            faults_.hangUpAfterFrames = 0;
            log_("hanging up the line at frame " + std::to_string(framesTaken_));
            line_->hangUp();
            continue;
        }
        sendAnswer(*received.answer);
    }
}

void SimulatedDevice::sendAnswer(const Answer& answer)
{
    if (faults_.dropAcknowledge)
        return;
    const auto gap = faults_.realBaudRate ? kByteTimeAt9600 : std::chrono::microseconds{};
    auto cut = [this](Bytes bytes, size_t keepFromStart) {
        if (faults_.cutReplyTo >= 0 && bytes.size() > keepFromStart + static_cast<size_t>(faults_.cutReplyTo))
            bytes.resize(keepFromStart + static_cast<size_t>(faults_.cutReplyTo));
        return bytes;
    };
    Bytes now = cut(answer.now, 1);
    if (faults_.wrongAcknowledge && !now.empty())
        now[0] = kWrongAcknowledge;
    if (faults_.noisePercent > 0 && static_cast<int>(random_() % 100) < faults_.noisePercent)
        now.insert(now.begin(), static_cast<uint8_t>(random_() % 0xAA));
    trace("tx", now);
    line_->send(now, faults_.delay, gap);
    for (const auto& [after, bytes] : answer.later) {
        Bytes part = cut(bytes, 0);
        trace("tx", part, "after " + std::to_string(after.count()) + " ms");
        line_->send(part, faults_.delay + after, gap);
    }
}

void SimulatedDevice::sendEvent(const Bytes& message)
{
    trace("tx", message, "event");
    line_->send(message, {}, faults_.realBaudRate ? kByteTimeAt9600 : std::chrono::microseconds{});
}

std::string SimulatedDevice::command(const std::string& line)
{
    std::istringstream words(line);
    std::string verb;
    if (!(words >> verb) || verb[0] == '#')
        return {};
    if (verb == "route")
        return route(words);
    if (verb == "signal")
        return signal(words);
    if (verb == "fault")
        return fault(words);
    if (verb == "status")
        return status();
    if (verb == "help")
        return help();
    if (verb == "id") {
        int id = 0;
        std::lock_guard lock(mutex_);
        if (!ReadNumber(words, id) || !matrix_.setDeviceId(id))
            return "error: id takes a number from 0 to 255";
        return "device ID " + std::to_string(id);
    }
    return "error: unknown command '" + verb + "' (try help)";
}

std::string SimulatedDevice::route(std::istringstream& words)
{
    const int outputs = matrix_.model().outputs;
    const int inputs = matrix_.model().inputs;
    int from = 0;
    int to = 0;
    int input = 0;
    if (!ReadTargets(words, outputs, from, to) || !ReadNumber(words, input))
        return "error: route OUTPUT INPUT, or route all INPUT";
    if (from < 1 || to > outputs || input < 1 || input > inputs)
        return "error: outputs are 1 to " + std::to_string(outputs) + ", inputs 1 to " + std::to_string(inputs);
    std::lock_guard lock(mutex_);
    Bytes event;
    for (int output = from; output <= to; ++output)
        event = matrix_.frontPanelRoute(output, input);
    sendEvent(event);
    return "routing " + Join(matrix_.routing());
}

std::string SimulatedDevice::signal(std::istringstream& words)
{
    const int inputs = matrix_.model().inputs;
    int from = 0;
    int to = 0;
    int present = 0;
    if (!ReadTargets(words, inputs, from, to) || !ReadNumber(words, present) || (present != 0 && present != 1))
        return "error: signal INPUT 0|1, or signal all 0|1";
    if (from < 1 || to > inputs)
        return "error: inputs are 1 to " + std::to_string(inputs);
    std::lock_guard lock(mutex_);
    Bytes event;
    for (int input = from; input <= to; ++input)
        event = matrix_.frontPanelSignal(input, present == 1);
    sendEvent(event);
    return "signals " + Join(matrix_.signals());
}

std::string SimulatedDevice::fault(std::istringstream& words)
{
    std::string kind;
    words >> kind;
    int value = 0;
    std::lock_guard lock(mutex_);
    Faults& f = faults_;
    if (kind == "none")
        f = Faults{};
    else if (kind == "no-ack")
        f.dropAcknowledge = true;
    else if (kind == "wrong-ack")
        f.wrongAcknowledge = true;
    else if (kind == "baud")
        f.realBaudRate = true;
    else if (kind == "ignore-routing")
        f.ignoreRouting = true;
    else if (kind == "cut" && ReadNumber(words, value) && value >= 0)
        f.cutReplyTo = value;
    else if (kind == "delay" && ReadNumber(words, value) && value >= 0)
        f.delay = std::chrono::milliseconds(value);
    else if (kind == "noise" && ReadNumber(words, value) && value >= 0 && value <= 100)
        f.noisePercent = value;
    else if (kind == "hang-up-after" && ReadNumber(words, value) && value > 0) {
        f.hangUpAfterFrames = framesTaken_ + value;
    } else
        return "error: fault none | no-ack | wrong-ack | cut BYTES | delay MS | noise PERCENT | baud | hang-up-after "
               "FRAMES"
               " | ignore-routing";
    return "faults: " + f.describe();
}

std::string SimulatedDevice::status() const
{
    std::lock_guard lock(mutex_);
    return std::string(matrix_.model().className) + " at " + line_->address() + ", device ID "
        + std::to_string(matrix_.deviceId()) + "\nrouting (output 1..): " + Join(matrix_.routing())
        + "\nsignals (input 1..):  " + Join(matrix_.signals()) + "\nfaults: " + faults_.describe();
}

const char* SimulatedDevice::help()
{
    return "front panel:\n"
           "  route OUTPUT INPUT     route an input to an output (route all INPUT for every output)\n"
           "  signal INPUT 0|1       an input loses or gets its signal (signal all 0|1)\n"
           "  id N                   give the device another ID (0-255)\n"
           "faults:\n"
           "  fault none | no-ack | wrong-ack | cut BYTES | delay MS | noise PERCENT | baud | hang-up-after FRAMES\n"
           "        | ignore-routing  (routing writes acknowledged, routing kept)\n"
           "other:\n"
           "  status                 routing, signals, ID and faults\n"
           "  sleep MS               pause a script\n"
           "  help, quit";
}

}  // namespace quellix::sim
