#pragma once
// The HKD382 dialect: ESC-led commands with raw byte parameters. A failed write, erase or read
// after a swipe answers with status "1" (ESC "1"), a malformed command at once.
#include "sim/SimCore.h"

class HkdParser final : public SimParser {
public:
    using SimParser::SimParser;
    void swiped(const SimPending &pending, SimCard *card, bool bad) override;

private:
    int step() override;
    int takeBlock(bool nonIso);
    int commandLength() const;
    QByteArray readReply(const SimCard *card, const std::array<SimReadFormat, 3> &formats, bool bad, char status) const;
};
