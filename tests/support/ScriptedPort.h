// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scripted devices behind the real port driver, in virtual time: each COM
// number set up here opens a ScriptedLine whose answers the test queues.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tavrik/PortTable.h"
#include "tavrik/Transport.h"
#include "VirtualClock.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// What one scripted device does and what it was sent.
struct ScriptedLine {
    std::vector<Bytes> written;   // every write, in order
    std::deque<Bytes> answers;    // one per write: bytes that arrive after it
    std::deque<uint32_t> delays;  // per answer, how long after the write it arrives (none: at once)
    Bytes late;                   // an answer on its way
    uint64_t lateAt = 0;          // when it arrives, on the virtual clock
    Bytes incoming;               // arrived and not read yet
    bool failWrites = false;
    bool broken = false;  // the device has gone away
    int discards = 0;     // calls of discardInput
    int opens = 0;

    void answer(Bytes bytes) { answers.push_back(std::move(bytes)); }
    void answerAfter(uint32_t ms, Bytes bytes)
    {
        delays.resize(answers.size(), 0);
        delays.push_back(ms);
        answers.push_back(std::move(bytes));
    }
    void silence() { answers.push_back({}); }
    void arrive(const Bytes& bytes) { incoming.insert(incoming.end(), bytes.begin(), bytes.end()); }
};

class ScriptedTransport : public tavrik::Transport {
public:
    ScriptedTransport(std::shared_ptr<ScriptedLine> line, VirtualClock& clock)
        : line_(std::move(line))
        , clock_(clock)
    {
    }

    bool write(const uint8_t* data, size_t size, uint32_t) override
    {
        if (line_->broken || line_->failWrites)
            return false;
        line_->written.emplace_back(data, data + size);
        if (!line_->answers.empty()) {
            const uint32_t delay = line_->delays.empty() ? 0 : line_->delays.front();
            if (!line_->delays.empty())
                line_->delays.pop_front();
            if (delay == 0) {
                line_->arrive(line_->answers.front());
            } else {
                line_->late = line_->answers.front();
                line_->lateAt = clock_.now() + delay;
            }
            line_->answers.pop_front();
        }
        return true;
    }

    size_t read(uint8_t* data, size_t size, uint32_t timeoutMs) override
    {
        if (!line_->late.empty() && line_->incoming.size() < size && line_->lateAt <= clock_.now() + timeoutMs) {
            clock_.advance(line_->lateAt > clock_.now() ? line_->lateAt - clock_.now() : 0);
            line_->arrive(line_->late);
            line_->late.clear();
        }
        const size_t n = std::min(size, line_->incoming.size());
        std::copy(line_->incoming.begin(), line_->incoming.begin() + static_cast<long>(n), data);
        line_->incoming.erase(line_->incoming.begin(), line_->incoming.begin() + static_cast<long>(n));
        if (n < size)
            clock_.advance(timeoutMs);
        return n;
    }

    void discardInput() override
    {
        line_->incoming.clear();
        ++line_->discards;
    }

    bool broken() const override { return line_->broken; }

private:
    std::shared_ptr<ScriptedLine> line_;
    VirtualClock& clock_;
};

// Installs scripted ports for the life of the object. The system's own ports
// are hidden so scans see only these.
class ScriptedPorts {
public:
    explicit ScriptedPorts(VirtualClock& clock)
        : clock_(clock)
    {
        previousOpener_ =
            tavrik::SetTransportOpener([this](const std::string& address, uint32_t) { return open(address); });
        previousLister_ = tavrik::PortTable::instance().setLister([] { return std::vector<tavrik::SystemPort>{}; });
        previousPinFile_ = tavrik::PortTable::instance().pinFile();
        tavrik::PortTable::instance().setPinFile("");
    }

    ~ScriptedPorts()
    {
        tavrik::SetTransportOpener(previousOpener_);
        tavrik::PortTable::instance().setLister(previousLister_);
        tavrik::PortTable::instance().setPinFile(previousPinFile_);
        tavrik::PortTable::instance().forgetRunTimeAdditions();
    }

    // A device at COM `number`.
    std::shared_ptr<ScriptedLine> device(int number)
    {
        auto line = std::make_shared<ScriptedLine>();
        add(number, "script://" + std::to_string(number));
        lines_[number] = line;
        return line;
    }

    // Every attempt to open a COM number, probes included.
    std::map<int, int> openAttempts;

    // A port at COM `number` that opening refuses with `status`.
    void refusing(int number, tavrik::OpenStatus status)
    {
        add(number, "script://" + std::to_string(number));
        refusals_[number] = status;
    }

private:
    void add(int number, const std::string& address) { tavrik::PortTable::instance().assign(number, address); }

    tavrik::OpenOutcome open(const std::string& address)
    {
        tavrik::OpenOutcome outcome;
        const int number = std::stoi(address.substr(9));
        ++openAttempts[number];
        if (auto refusal = refusals_.find(number); refusal != refusals_.end()) {
            outcome.status = refusal->second;
            outcome.message = address + " refused";
            return outcome;
        }
        auto line = lines_.find(number);
        if (line == lines_.end() || line->second->broken) {
            outcome.status = tavrik::OpenStatus::NotFound;
            outcome.message = address + ": no such port";
            return outcome;
        }
        ++line->second->opens;
        outcome.status = tavrik::OpenStatus::Opened;
        outcome.transport = std::make_unique<ScriptedTransport>(line->second, clock_);
        return outcome;
    }

    VirtualClock& clock_;
    std::map<int, std::shared_ptr<ScriptedLine>> lines_;
    std::map<int, tavrik::OpenStatus> refusals_;
    tavrik::TransportOpener previousOpener_;
    tavrik::PortLister previousLister_;
    std::string previousPinFile_;
};

}  // namespace testsupport
