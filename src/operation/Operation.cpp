#include "operation/Operation.h"

Operation::Operation(const Connection &connection, const OperationProfile &profile, Operator &op)
    : connection_(connection), profile_(profile), op_(op), dialect_(dialectFor(connection.dialect)),
      device_(std::make_unique<Device>(token_, connection_))
{
    // A port that fails mid-exchange ends the operation; the front end tells the operator once.
    device_->setPortLostHandler([this] {
        portLost_ = true;
        token_.CancelRequested = true;
    });
}

Operation::~Operation() = default;

OperationEnd Operation::run()
{
    if (ran_ || closed_)
        return OperationEnd::Cancelled;
    ran_ = true;
    running_ = true;
    OperationEnd end = OperationEnd::Cancelled;
    if (!device_->open()) {
        portLost_ = true;
        end = OperationEnd::PortLost;
    } else {
        op_.begin();
        beforeStart();
        if (start(end))
            end = loop();
    }
    running_ = false;
    return portLost_ ? OperationEnd::PortLost : end;
}

bool Operation::start(OperationEnd &end)
{
    const StartResult result = dialect_.start(*device_, profile_.window.start);
    end = stopped();
    // Closed meanwhile: its closing sequence has run and nothing more goes to the encoder.
    if (cancelled())
        return false;
    switch (result) {
    case StartResult::Ok:
        return true;
    case StartResult::PortFailed:
        return false;
    case StartResult::AttentionRejected:
        op_.reportError(profile_.attentionError);
        end = OperationEnd::StartRefused;
        return false;
    case StartResult::PrepareRejected:
        if (profile_.window.start.disarmBeforeReport) {
            dialect_.disarm(*device_, profile_.window.exchange);
            if (cancelled())
                return false;
        }
        reportIndicated(OperationError::Read);
        end = cancelled() ? stopped() : OperationEnd::StartRefused;
        return false;
    }
    return false;
}

void Operation::reportIndicated(OperationError error, const IndicatorOptions &options)
{
    dialect_.setErrorIndicator(*device_, true, options);
    // Closed while the indication waited for its answer (or before): no report over a closed window.
    if (cancelled())
        return;
    op_.reportError(error);
    dialect_.setErrorIndicator(*device_, false, options);
}

void Operation::close()
{
    if (closed_)
        return;
    closed_ = true;
    dialect_.close(*device_, profile_.window.closing);
}

void Operation::showFailedOutput()
{
    op_.showOutput({Iso::Unreadable, Iso::Unreadable, Iso::Unreadable}, Counts::Zero);
}

bool Operation::reportWriteFailure()
{
    if (cancelled())
        return false;
    showFailedOutput();
    op_.notice(Notice::Clear);
    dialect_.disarm(*device_);
    if (cancelled())
        return false;
    reportIndicated(OperationError::Write);
    return true;
}
