#pragma once
// A non-ISO entry box: several lines of plain text that wrap anywhere, an optional longest
// text, and no line ends: Enter is left to the window (its default button), and tabs and line
// ends in pasted text become blanks.
#include <QPlainTextEdit>

class EntryBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit EntryBox(QWidget *parent = nullptr);

    // 0: no limit.
    void setMaxLength(int length);
    int maxLength() const { return maxLength_; }
    QString text() const { return toPlainText(); }
    // Replaces the whole text (cut to the longest text) and leaves the cursor at its end.
    void setText(const QString &text);
    // Inserts at the cursor, within the longest text.
    void insertText(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    int room() const;
    int maxLength_ = 0;
};
