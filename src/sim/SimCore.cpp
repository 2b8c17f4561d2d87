#include "sim/SimCore.h"

namespace {
// A command left incomplete this long is dropped by the next bytes (the encoder's own time-out).
constexpr double kStaleInput = 2.0;
// A command or data message that grows past this without ending is dropped.
constexpr int kMaxPartial = 4096;
} // namespace

void SimParser::receive(const QByteArray &bytes, double now)
{
    if (now - lastInput_ > kStaleInput) {
        input_.clear();
        dropPartial();
    }
    lastInput_ = now;
    input_ += bytes;
    while (!input_.isEmpty()) {
        const int used = step();
        if (used == 0)
            break;
        if (used > 0)
            input_.remove(0, used);
    }
    if (input_.size() > kMaxPartial) {
        input_.clear();
        dropPartial();
    }
}

void SimParser::drop()
{
    input_.clear();
    dropPartial();
}

void SimParser::reset()
{
    input_.clear();
    lastInput_ = 0.0;
    dropPartial();
}

bool SimParser::faulted(const QByteArray &key, const QByteArray &refusal)
{
    switch (core_.faultFor(key)) {
    case CommandFault::None:
        return false;
    case CommandFault::Refuse:
        core_.reply(refusal);
        return true;
    case CommandFault::Ignore:
        return true;
    }
    return false;
}
