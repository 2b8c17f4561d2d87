#include "ui/main/TrackTextEdit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>

TrackTextEdit::TrackTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
    setTabChangesFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    document()->setDocumentMargin(1);
}

void TrackTextEdit::setMaxLength(int length)
{
    maxLength_ = length;
    if (toPlainText().size() > length)
        setText(toPlainText());
}

void TrackTextEdit::setText(const QString &text)
{
    setPlainText(text.left(maxLength_));
    moveCursor(QTextCursor::End);
}

int TrackTextEdit::room() const
{
    const QTextCursor cursor = textCursor();
    const int selected = cursor.selectionEnd() - cursor.selectionStart();
    return maxLength_ - (toPlainText().size() - selected);
}

void TrackTextEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && typed.at(0).isPrint()
                           && !(event->modifiers() & Qt::ControlModifier);
    if (printable && typed.size() > room()) {
        event->accept(); // full: further typing is ignored
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TrackTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source || !source->hasText())
        return;
    const int space = room();
    if (space <= 0)
        return;
    textCursor().insertText(source->text().left(space));
    ensureCursorVisible();
}
