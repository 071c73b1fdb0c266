// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scripted device at the far end of a real line (pseudo-terminal or TCP):
// it splits what the program sends into frames by their length byte and
// answers each with what the test's handler returns.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "LineServer.h"

namespace testsupport {

class ScriptedPeer {
public:
    using Bytes = quellix::sim::Bytes;
    using Handler = std::function<Bytes(const Bytes& frame)>;

    static std::unique_ptr<ScriptedPeer> OverPseudoTerminal(Handler handler)
    {
        std::unique_ptr<ScriptedPeer> peer(new ScriptedPeer(std::move(handler)));
        std::string error;
        peer->server_ =
            quellix::sim::LineServer::OnPseudoTerminal([p = peer.get()](const Bytes& b) { p->take(b); }, error);
        return peer->server_ ? std::move(peer) : nullptr;
    }

    static std::unique_ptr<ScriptedPeer> OverTcp(Handler handler)
    {
        std::unique_ptr<ScriptedPeer> peer(new ScriptedPeer(std::move(handler)));
        std::string error;
        peer->server_ = quellix::sim::LineServer::OnTcp(
            "127.0.0.1", 0, [p = peer.get()](const Bytes& b) { p->take(b); }, error);
        return peer->server_ ? std::move(peer) : nullptr;
    }

    ~ScriptedPeer() { server_->stop(); }

    std::string address() const { return server_->address(); }
    quellix::sim::LineServer& line() { return *server_; }

    std::vector<Bytes> frames() const
    {
        std::lock_guard lock(mutex_);
        return frames_;
    }

private:
    explicit ScriptedPeer(Handler handler)
        : handler_(std::move(handler))
    {
    }

    void take(const Bytes& bytes)
    {
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        while (!pending_.empty() && pending_.size() >= std::max<size_t>(pending_[0], 1)) {
            const size_t length = std::max<size_t>(pending_[0], 1);
            Bytes frame(pending_.begin(), pending_.begin() + static_cast<long>(length));
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(length));
            {
                std::lock_guard lock(mutex_);
                frames_.push_back(frame);
            }
            server_->send(handler_(frame));
        }
    }

    Handler handler_;
    std::unique_ptr<quellix::sim::LineServer> server_;
    Bytes pending_;
    mutable std::mutex mutex_;
    std::vector<Bytes> frames_;
};

}  // namespace testsupport
