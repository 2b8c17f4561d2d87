#pragma once
// Pieces both dialect implementations use.
#include "dialect/Commands.h"
#include "dialect/Profiles.h"

#include "device/Pacer.h"

// Shows the prompt on request and hides it however the attempt ends (unless it is to stay).
class PromptGuard {
public:
    explicit PromptGuard(const Prompt &prompt, PromptTiming timing = PromptTiming::WhileWaiting)
        : prompt_(prompt), hide_(timing == PromptTiming::WhileWaiting)
    {
        if (timing == PromptTiming::FromStartKept)
            show();
    }
    ~PromptGuard()
    {
        if (hide_ && prompt_)
            prompt_(false);
    }
    PromptGuard(const PromptGuard &) = delete;
    PromptGuard &operator=(const PromptGuard &) = delete;
    void show() const
    {
        if (prompt_)
            prompt_(true);
    }

private:
    const Prompt &prompt_;
    bool hide_;
};

// Re-opens if need be, resets the encoder and leaves the port closed; the next exchange re-opens it.
inline void resetAndClose(Device &dev)
{
    dev.openIfClosed();
    dev.pacer().serveOnce();
    dev.write(Cmd::Hkd::Reset);
    dev.close();
}

// Before an attempt's command: its pause (ended at once by Cancel), then pending window events
// served once, so a Cancel clicked meanwhile lands. False when the window is closing.
inline bool readyForCommand(Device &dev, double pause)
{
    if (pause > 0 && !dev.pauseUnlessCancelled(pause))
        return false;
    dev.pacer().serveOnce();
    return !dev.cancelled();
}

// A swipe wait ended by the operator's Skip (not by Cancel or the window's stop): clears it.
inline bool takeSkip(Device &dev, const WriteProfile &profile)
{
    CancelToken &t = dev.token();
    const bool skipped = profile.skippable && t.SkipRequested && !t.CancelRequested &&
                         !(profile.stopOnCollect && t.StopCollecting);
    if (skipped)
        t.SkipRequested = false;
    return skipped;
}
