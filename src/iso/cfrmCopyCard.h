#pragma once
// The copy window: reads a source card into the main window's input record, writes that record
// onto a target card, and starts over with the next source card until Cancel.
#include "ui/common/OperatorTexts.h"
#include "ui/common/SwipeWindow.h"

class QLabel;

class cfrmCopyCard : public SwipeWindow {
    Q_OBJECT
public:
    cfrmCopyCard(const Connection &connection, RecordView *records, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;   // the prompt of the phase
    QLabel *Picture1 = nullptr;

    static const QString kReadTitle;
    static const QString kWriteTitle;
    static const QString kReadPrompt;
    static const QString kWritePrompt;
    static inline const QString &kWriteComplete = OperationText::kWriteComplete;
    // The prompt colours: the platform's button text while reading, red while writing.
    QColor readPromptColour() const;
    static QColor writePromptColour();

    // Operator: Label1 is the prompt of the phase.
    void begin() override;
    void showPrompt(bool shown) override;
    void showCard(qint64) override {}
    void showPhase(PromptPhase phase) override;

protected:
    QLabel *statusLine() const override { return Label1; }
};
