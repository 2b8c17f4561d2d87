#pragma once
// The non-ISO read: reads cards one after another in the chosen format until Cancel, showing
// each card in the result window.
#include "card/NonIsoFormat.h"
#include "ui/common/CardPromptWindow.h"

class nfrmReadCard : public CardPromptWindow {
    Q_OBJECT
public:
    explicit nfrmReadCard(const NonIso::Selection &selection, QWidget *parent = nullptr);

    // The last card read well (TrackData).
    const Iso::Tracks &TrackData() const { return trackData_; }

protected:
    void runOperation() override;

private:
    NonIso::Selection selection_;
    Iso::Tracks trackData_;
};
