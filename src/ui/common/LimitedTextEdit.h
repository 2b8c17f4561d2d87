#pragma once
// Plain text over several lines that wraps anywhere, with a longest text like a line edit and no
// line breaks from the Enter key (left to the window's default button). Typing into a full box
// is ignored; pasted text is cut to the room left.
#include <QPlainTextEdit>

class LimitedTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    // maxLength 0: no limit.
    LimitedTextEdit(QWidget *parent, int documentMargin, int maxLength);

    void setMaxLength(int length);
    int maxLength() const { return maxLength_; }
    QString text() const { return toPlainText(); }
    // Replaces the whole text (cut to the longest text) and leaves the cursor at its end.
    void setText(const QString &text);
    // Inserts at the cursor, within the longest text.
    void insertText(const QString &text);

protected:
    // What a box makes of text set or pasted into it; the same length.
    virtual QString cleaned(const QString &text) const { return text; }
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    int room() const;
    int maxLength_;
};
