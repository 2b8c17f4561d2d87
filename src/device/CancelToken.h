#pragma once
// A window's wait flags. Each swipe window owns one and hands it to its Device; every wait
// reads it fresh on each pass, which is how a click reaches a running exchange.
struct CancelToken {
    bool CancelRequested = false;
    bool StopCollecting = false;
    bool SkipRequested = false; // the encode-from-file window's Skip
};

// Which flags end a wait besides its own condition.
struct StopOn {
    bool cancel = false;  // CancelRequested
    bool collect = false; // StopCollecting
    bool skip = false;    // SkipRequested
};
