#pragma once
// An operation's wait flags, handed to its Device; every wait reads them fresh on each pass,
// which is how a click reaches a running exchange. Atomic: Cancel and Skip may come from another
// thread than the one that waits (the service's network thread).
#include <atomic>

struct CancelToken {
    std::atomic<bool> CancelRequested = false;
    std::atomic<bool> StopCollecting = false;
    std::atomic<bool> SkipRequested = false; // the encode-from-file window's Skip
};

// Which flags end a wait besides its own condition.
struct StopOn {
    bool cancel = false;  // CancelRequested
    bool collect = false; // StopCollecting
    bool skip = false;    // SkipRequested
};
