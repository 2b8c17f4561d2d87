#include "batch/BatchProfiles.h"

namespace Batch {

const WindowProfile kSaveToFile{
    {{StartStep::Reset, StartStep::Settle, StartStep::IndicatorSwipe, StartStep::ConfigureDensity, StartStep::ArmRead}},
    Closing::Reset,
};

const ReadProfile kSaveToFileRead = [] {
    ReadProfile r;
    r.openFirst = true;
    r.fetch = TrackFetch::Collected;
    r.collect = Collect::UntilQuiet;
    r.silentTrackFails = true; // a missing track must not be saved as a card without it
    return r;
}();

const WindowProfile kEncodeFromFile{
    {{StartStep::Reset, StartStep::ConfigureDensity, StartStep::Settle, StartStep::ArmWrite}, true, 2.0, 0.0, true},
    Closing::SettlingAttention,
    Exchange::Settling,
};

// Skip ends the swipe wait; a cancelled wait counts as skipped (or sends Attention where the dialect aborts by command).
const WriteProfile kEncodeFromFileWrite = [] {
    WriteProfile w;
    w.pauseBefore = 0.0;
    w.discard = WriteDiscard::None;
    w.trackAck = AckMatch::Exact;
    w.cardAck = AckMatch::Exact;
    w.onCancel = CancelSends::Attention;
    w.cancelled = Outcome::Skipped;
    w.skippable = true;
    w.exchange = Exchange::Settling;
    return w;
}();

const WindowProfile kIncremental{
    {{StartStep::IndicatorSwipe, StartStep::ConfigureDensity, StartStep::ArmWrite}, true, 0.5, 0.1, true},
    Closing::Release,
};

const WriteProfile kIncrementalWrite = [] {
    WriteProfile w;
    w.discard = WriteDiscard::None;
    w.stopOnCollect = true;
    return w;
}();

} // namespace Batch
