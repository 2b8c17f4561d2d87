#pragma once
// The operator of --simulate: swipes one second after each prompt, the next sample card where
// the encoder waits to read or erase, a blank card where it waits to write. `later` runs an
// action that many seconds from now (a timer, or a test's virtual clock).
#include "sim/Simulator.h"

#include <functional>

class SimulatedOperator {
public:
    using Later = std::function<void(double seconds, std::function<void()> action)>;
    SimulatedOperator(Simulator &sim, Later later) : sim_(sim), later_(std::move(later)) {}

    // The prompt came up (a swipe follows) or went away.
    void promptChanged(bool shown);

private:
    void attempt(quint64 prompt);

    Simulator &sim_;
    Later later_;
    quint64 prompt_ = 0;
    quint64 nextSample_ = 0;
    bool shown_ = false;
};
