#pragma once
// The VNT-290B dialect: single printable command characters answered with "^", ":" after
// Attention. A failed write or erase answers "!" after the swipe; an unreadable track reads
// as "*". Tracks of a swipe are fetched one by one afterwards ("Q", "R", "S" etc.).
#include "sim/SimCore.h"

class VntParser final : public SimParser {
public:
    using SimParser::SimParser;
    void swiped(const SimPending &pending, SimCard *card, bool bad) override;
    void reset() override;

    // "P" refused ("!") unless "L" armed the read first; each "P" uses the arming up.
    void setPrepareReadRequired(bool required) { requireL_ = required; }
    bool prepareReadRequired() const { return requireL_; }

private:
    int step() override;
    void dropPartial() override;
    bool takeData();
    int commandLength() const;
    QByteArray trackReply(int trackNo, SimReadFormat format) const;

    struct DataMode {
        bool active = false;
        int track = 0;
        SimTrackWrite write;
    };
    DataMode data_;
    SimTrackWrites writes_;
    int eraseMask_ = 0;
    std::optional<SimCard> readBuffer_;
    bool readBufferBad_ = false;
    bool requireL_ = false;
    bool readArmed_ = false;
};
