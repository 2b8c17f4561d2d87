#include "ui/common/LimitedTextEdit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <limits>

LimitedTextEdit::LimitedTextEdit(QWidget *parent, int documentMargin, int maxLength)
    : QPlainTextEdit(parent), maxLength_(maxLength)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
    setTabChangesFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    document()->setDocumentMargin(documentMargin);
}

void LimitedTextEdit::setMaxLength(int length)
{
    maxLength_ = length;
    if (length > 0 && toPlainText().size() > length)
        setText(toPlainText());
}

void LimitedTextEdit::setText(const QString &text)
{
    const QString plain = cleaned(text);
    setPlainText(maxLength_ > 0 ? plain.left(maxLength_) : plain);
    moveCursor(QTextCursor::End);
}

int LimitedTextEdit::room() const
{
    if (maxLength_ <= 0)
        return std::numeric_limits<int>::max();
    const QTextCursor cursor = textCursor();
    const int selected = cursor.selectionEnd() - cursor.selectionStart();
    return maxLength_ - (int(toPlainText().size()) - selected);
}

void LimitedTextEdit::insertText(const QString &text)
{
    const int space = room();
    if (space <= 0)
        return;
    textCursor().insertText(cleaned(text).left(space));
    ensureCursorVisible();
}

void LimitedTextEdit::keyPressEvent(QKeyEvent *event)
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

void LimitedTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        insertText(source->text());
}
