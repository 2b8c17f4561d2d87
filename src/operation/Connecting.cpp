#include "operation/Connecting.h"

#include "dialect/Dialect.h"

Connecting::Connecting(const Connection &connection)
    : connection_(connection), port_(std::make_unique<Device>(token_, connection_))
{
}

Connecting::~Connecting() = default;

Connecting::Verdict Connecting::run(const std::function<bool()> &ending)
{
    Verdict v;
    if (!port_->open()) {
        v.report = v.beep = true;
        v.reason = port_->portErrorText();
        return v;
    }
    const Handshake outcome =
        dialectFor(connection_.dialect).handshake(*port_, connection_.highCoercivity, ending ? ending : [] { return false; });
    if (port_->portFailed())
        v.reason = port_->portErrorText();
    port_->close();
    switch (outcome) {
    case Handshake::Connected:
        v.connected = true;
        break;
    case Handshake::ConnectedAfterError:
        // The encoder answered after all: the error is told, and the encoder used.
        v.connected = v.report = true;
        break;
    case Handshake::Failed:
        v.report = v.beep = true;
        break;
    case Handshake::FailedQuietly:
        v.report = true;
        break;
    }
    return v;
}

void Connecting::abandon() { port_->close(); }
