#pragma once
// Testing the encoder as setup's OK does: open the port, run the dialect's handshake, judge it.
// Written once for every front end: the setup window, vnt410 and the service.
#include "device/CancelToken.h"
#include "device/Connection.h"
#include "device/Device.h"

#include <functional>
#include <memory>

class Connecting {
public:
    explicit Connecting(const Connection &connection);
    ~Connecting();

    struct Verdict {
        bool connected = false; // the encoder may be used
        bool report = false;    // the operator is told of a communications error
        bool beep = false;      // with a beep
        QString reason;         // why the port failed; empty when it did not
    };
    // Opens the port and runs the handshake; `ending` tells the handshake to give up (the
    // program is ending). The port is closed again before it returns.
    Verdict run(const std::function<bool()> &ending = {});
    // Closes the port at once, also while run() waits: nothing more is sent.
    void abandon();

private:
    Connection connection_;
    CancelToken token_;
    std::unique_ptr<Device> port_;
};
