#pragma once
// What an operation tells whoever runs it, as events: the prompt (which card, which phase), the
// records, each card's end, notices, and the error reports that wait for the operator's answer.
// No words here: the windows give them their texts and message windows, a test a script, the
// command line its streams, the service its JSON. Cancel, Skip and answers reach the operation
// through its Session.
#include "card/TrackBlock.h"


// Which error the operator is told of (each front end has its own words and titles for it).
enum class OperationError { Read, Write, Erase };

// How a shown track is counted.
enum class Counts {
    AsRead,  // characters as read; 0 for "+" (no data) and "*"
    Lengths, // the texts' lengths
    Zero,    // 0 whatever the text
    Kept,    // the record counts the text itself, as if typed
};

// What the operation has to say after a card (the front end words it); Clear: nothing now.
enum class Notice { Clear, ReadSuccess, WriteComplete, EraseComplete };

// Which card the prompt asks for: any card, or copy's source or target card.
enum class PromptPhase { Swipe, Source, Target };

// How one card ended.
enum class CardResult { Ok, ReadError, WriteError, EraseError, Skipped };

// A result's name where programs read it (vnt410's result lines, the service's events).
inline const char *cardResultName(CardResult result)
{
    switch (result) {
    case CardResult::Ok:
        return "ok";
    case CardResult::ReadError:
        return "read-error";
    case CardResult::WriteError:
        return "write-error";
    case CardResult::EraseError:
        return "erase-error";
    case CardResult::Skipped:
        return "skipped";
    }
    return "";
}

struct CardReport {
    qint64 card = 1;     // the card's number in the run
    CardResult result = CardResult::Ok;
    Iso::Tracks tracks;  // read (reads), written (writes)
    qint64 record = 0;   // the file record it holds (save, encode from file); 0: none
};

class Operator {
public:
    virtual ~Operator() = default;

    // The port is open and the start sequence begins.
    virtual void begin() {}
    // The swipe prompt, shown while the encoder waits for a card.
    virtual void showPrompt(bool shown) = 0;
    // The card the operation waits for (1, 2, ...).
    virtual void showCard(qint64 number) = 0;
    // The card line and the prompt out of sight (between the cards of a file).
    virtual void hideCard() {}
    // The output record: what the card holds, or what was written.
    virtual void showOutput(const Iso::Tracks &tracks, Counts counts) = 0;
    // The input record: what is about to be written, or a source card read.
    virtual void showInput(const Iso::Tracks &tracks, Counts counts) = 0;
    virtual void notice(Notice notice) = 0;
    // A card has ended, well or not (before its error is reported). Windows show it through the
    // records; a script's front end reports it.
    virtual void cardEnded(const CardReport &report) { (void)report; }
    // Tells of the error and returns once the operator has acknowledged it.
    virtual void reportError(OperationError error) = 0;
    // Out of the way of an error report (true), and back (false).
    virtual void stepAside(bool aside) { (void)aside; }
    // Whether Skip may be pressed now (encode from file).
    virtual void enableSkip(bool enabled) { (void)enabled; }
    // Copy: the source card is to be read, or the target written.
    virtual void showPhase(PromptPhase phase) { (void)phase; }
    // A non-ISO card read; returns once the operator has seen it.
    virtual void showNonIsoCard(const Iso::Tracks &tracks) { (void)tracks; }
};
