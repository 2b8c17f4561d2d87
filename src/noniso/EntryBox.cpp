#include "noniso/EntryBox.h"

#include <QKeyEvent>
#include <QMimeData>
#include <limits>

namespace {
QString blanksForControls(QString text)
{
    for (QChar &c : text)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t')
            || c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = QLatin1Char(' ');
    return text;
}
} // namespace

EntryBox::EntryBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
    setTabChangesFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    document()->setDocumentMargin(2);
}

void EntryBox::setMaxLength(int length)
{
    maxLength_ = length;
    if (length > 0 && toPlainText().size() > length)
        setText(toPlainText());
}

void EntryBox::setText(const QString &text)
{
    const QString plain = blanksForControls(text);
    setPlainText(maxLength_ > 0 ? plain.left(maxLength_) : plain);
    moveCursor(QTextCursor::End);
}

int EntryBox::room() const
{
    if (maxLength_ <= 0)
        return std::numeric_limits<int>::max();
    const QTextCursor cursor = textCursor();
    const int selected = cursor.selectionEnd() - cursor.selectionStart();
    return maxLength_ - (int(toPlainText().size()) - selected);
}

void EntryBox::insertText(const QString &text)
{
    const int space = room();
    if (space <= 0)
        return;
    textCursor().insertText(blanksForControls(text).left(space));
    ensureCursorVisible();
}

void EntryBox::keyPressEvent(QKeyEvent *event)
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

void EntryBox::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        insertText(source->text());
}
