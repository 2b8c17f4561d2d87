#include "noniso/EntryBox.h"

QString EntryBox::cleaned(const QString &text) const
{
    QString plain = text;
    for (QChar &c : plain)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t')
            || c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = QLatin1Char(' ');
    return plain;
}
