#pragma once
// One operation on the encoder, run from start to end: the port, the start sequence and its
// judging, the loop of cards, the closing sequence. A front end makes it with its connection and
// its Operator, calls run() once, and close() however it is closed (also while run() waits).
#include "device/Connection.h"
#include "device/Device.h"
#include "dialect/Dialect.h"
#include "operation/Operator.h"

#include <memory>

enum class OperationEnd {
    Finished,     // ran out of work: the file, the series, or a card that cannot be read here
    Cancelled,    // Cancel or close
    PortLost,     // the port could not be opened or went away (Device::portErrorText says why)
    StartRefused, // the encoder refused the start; the operator was told
    Refused,      // the encoder refused a write; the operator was told
};

// The profile of an operation: its start and closing, and which error a refused Attention at the
// start is reported as.
struct OperationProfile {
    WindowProfile window;
    OperationError attentionError = OperationError::Read;
};

class Operation {
public:
    Operation(const Connection &connection, const OperationProfile &profile, Operator &op);
    virtual ~Operation();
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;

    // The whole operation; once.
    OperationEnd run();
    // The operator's Cancel: every wait ends at its next pass.
    void cancel() { token_.CancelRequested = true; }
    // The operator's Skip (where the operation has it).
    void skip() { token_.SkipRequested = true; }
    // The closing sequence, once, whenever the front end closes; sets Cancel first.
    void close();
    bool closed() const { return closed_; }
    bool cancelled() const { return token_.CancelRequested; }
    bool portLost() const { return portLost_; }
    bool running() const { return running_; }
    QString portErrorText() const { return device_->portErrorText(); }

    Device &device() { return *device_; }
    bool portOpen() const { return device_->isOpen(); }
    const Dialect &dialect() const { return dialect_; }
    CancelToken &token() { return token_; }
    const Connection &connection() const { return connection_; }

protected:
    // The loop after a good start.
    virtual OperationEnd loop() = 0;
    // After the port opened, before the start sequence.
    virtual void beforeStart() {}
    Operator &op() { return op_; }
    // Shows and hides the operator's swipe prompt, for the attempts.
    Prompt prompt()
    {
        return [this](bool shown) { op_.showPrompt(shown); };
    }

    // A write that failed: the output marked failed, the encoder disarmed and the write error
    // reported. False when cancelled on the way (nothing more is reported).
    bool reportWriteFailure();
    // The output record of a card that could not be read or written.
    void showFailedOutput();

    // Tells of `error` framed by the encoder's error indication. Nothing when closed meanwhile.
    void reportIndicated(OperationError error, const IndicatorOptions &options = {});
    // The end for a loop left early: lost port, else Cancelled.
    OperationEnd stopped() const { return portLost_ ? OperationEnd::PortLost : OperationEnd::Cancelled; }

private:
    // The start sequence; a refusal is reported. False when the operation must end.
    bool start(OperationEnd &end);

    Connection connection_;
    OperationProfile profile_;
    Operator &op_;
    const Dialect &dialect_;
    CancelToken token_;
    std::unique_ptr<Device> device_;
    bool ran_ = false;
    bool running_ = false;
    bool closed_ = false;
    bool portLost_ = false;
};
