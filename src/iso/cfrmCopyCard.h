#pragma once
// The copy window: reads a source card into the main window's input record, writes that record
// onto a target card, and starts over with the next source card until Cancel.
#include "ui/common/SwipeWindow.h"

class QLabel;

class cfrmCopyCard : public SwipeWindow {
    Q_OBJECT
public:
    explicit cfrmCopyCard(RecordView *records, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;   // the prompt of the phase
    QLabel *Picture1 = nullptr;

    static const WindowProfile kProfile;
    static const ReadProfile kRead;
    static const WriteProfile kWrite;

    static const QString kReadTitle;
    static const QString kWriteTitle;
    static const QString kReadPrompt;
    static const QString kWritePrompt;
    static const QString kWriteComplete;
    // The prompt colours: the platform's button text while reading, red while writing.
    QColor readPromptColour() const;
    static QColor writePromptColour();

protected:
    void runOperation() override;
    QLabel *statusLine() const override { return Label1; }

private:
    enum class Phase { Read, Write };
    enum class Next { Write, Finish, Close };

    bool startSequence();
    // Source reads until one is good (Write), the run is over (Finish) or the window must close.
    Next readSource();
    // Target writes of the input record until one is good (true) or the run is over (false).
    bool writeTarget();
    void finish();

    void setPhase(Phase phase);
    Prompt prompt();
    void setErrorIndicator(bool on);
    // An error window with the copy window out of the way, framed by the error indication if asked.
    void showErrorWindow(QDialog &window, bool indicated);
    void setInput(const Iso::Tracks &tracks, bool readCounts);
    void setOutput(const Iso::Tracks &tracks, bool lengths);
};
