#pragma once
// The two-line track 3 box: plain text that wraps anywhere, with a longest text like a line edit
// and no line breaks from the Enter key (track data is one line shown over two).
#include <QPlainTextEdit>

class TrackTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TrackTextEdit(QWidget *parent = nullptr);

    void setMaxLength(int length);
    int maxLength() const { return maxLength_; }
    QString text() const { return toPlainText(); }
    // Replaces the whole text (cut to the longest text) and leaves the cursor at its end.
    void setText(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    int room() const;
    int maxLength_ = 32767;
};
