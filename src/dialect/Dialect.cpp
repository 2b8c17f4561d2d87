#include "dialect/Dialect.h"


StartResult Dialect::start(Device &dev, const StartProfile &profile) const
{
    if (!dev.isOpen() && !dev.open())
        return StartResult::PortFailed;
    if (profile.discardFirst)
        dev.discard();
    const StartResult attention = checkAttention(dev, profile);
    if (attention != StartResult::Ok)
        return attention;
    for (StartStep step : profile.steps) {
        const bool done = startStep(dev, step);
        // Closed meanwhile: its closing sequence has run; judging a reply now would put an
        // error window over a window the operator has already closed.
        if (dev.portFailed() || dev.cancelled())
            return StartResult::PortFailed;
        if (!done)
            return StartResult::PrepareRejected;
    }
    return StartResult::Ok;
}

void Dialect::close(Device &dev, Closing closing) const
{
    dev.token().CancelRequested = true;
    dev.token().StopCollecting = true;
    closingSteps(dev, closing);
    dev.close();
}

const Dialect &dialectFor(DialectId id)
{
    switch (id) {
    case DialectId::Vnt290b:
        return Vnt290bDialect();
    case DialectId::Hkd382:
        break;
    }
    return Hkd382Dialect();
}
