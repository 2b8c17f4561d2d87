#include "sim/SimulatedOperator.h"

void SimulatedOperator::promptChanged(bool shown)
{
    shown_ = shown;
    if (!shown)
        return;
    const quint64 prompt = ++prompt_;
    later_(1.0, [this, prompt] { attempt(prompt); });
}

void SimulatedOperator::attempt(quint64 prompt)
{
    if (prompt != prompt_ || !shown_)
        return;
    if (!sim_.awaitingSwipe()) {
        // The prompt came before the encoder was armed: look again shortly.
        later_(0.1, [this, prompt] { attempt(prompt); });
        return;
    }
    const Simulator::Operation op = sim_.pendingOperation();
    const bool writing = op == Simulator::Operation::Write || op == Simulator::Operation::NonIsoWrite;
    const QList<SimCard> samples = Simulator::sampleStack();
    const SimCard card = writing ? Simulator::blankStack(1).first() : samples.at(int(nextSample_++ % samples.size()));
    sim_.setStack({card});
    sim_.swipe();
}
