// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for what the shared line reads from clients and the
// device: a client's bytes cut into frames in pieces of any size, the reply
// expected to each frame, and event messages. Every byte must end up in a
// frame, dropped, or waiting; frames keep their length byte; events carry
// one entry per output or input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "LineProtocol.h"
#include "xandrel/device/ProtocolFrames.h"
#include "xandrel/device/ModelCatalog.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const auto& models = xandrel::AllModels();
    const xandrel::ModelSpec& model = models[data[0] % models.size()];
    const int piece = data[1] % 16 + 1;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));

    quellixd::FrameAssembler assembler;
    qsizetype framed = 0;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        for (const QByteArray& frame : assembler.take(bytes.mid(at, piece))) {
            Require(frame.size() == static_cast<uint8_t>(frame[0]));
            framed += frame.size();
            const quellixd::ExpectedReply reply = quellixd::ReplyTo(model, frame);
            Require(reply.bodyBytes >= 0 && reply.bodyBytes <= 256);
        }
    }
    const int waiting = assembler.partial() ? assembler.dropPartial() : 0;
    Require(framed + assembler.droppedBytes() + waiting == bytes.size());

    for (qsizetype at = 0; at < bytes.size(); ++at) {
        const int length = xandrel::EventMessageLength(static_cast<uint8_t>(bytes[at]));
        if (length == 0 || at + length > bytes.size())
            continue;
        if (const auto event = quellixd::ParseEvent(model, bytes.mid(at, length))) {
            const int count = event->type == 1 ? model.outputs : model.inputs;
            Require(static_cast<int>(event->entries.size()) == count);
        }
    }
    return 0;
}
