#pragma once
// The non-ISO read window: a view of the non-ISO read operation, each card shown in the
// result window.
#include "card/NonIsoFormat.h"
#include "ui/common/CardPromptWindow.h"

class nfrmReadCard : public CardPromptWindow {
    Q_OBJECT
public:
    nfrmReadCard(const Connection &connection, const NonIso::Selection &selection, QWidget *parent = nullptr);

    // The last card read well (TrackData).
    Iso::Tracks TrackData() const { return summary().lastCard; }

    void showNonIsoCard(const Iso::Tracks &tracks) override;

private:
    NonIso::Selection selection_;
};
