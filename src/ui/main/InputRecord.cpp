#include "ui/main/InputRecord.h"

#include "card/Validators.h"

namespace InputRecord {

namespace {

QString sevenBitTitle() { return QStringLiteral(" 7-Bit Character (Std T1) Format Error"); }
QString fiveBitTitle() { return QStringLiteral(" 5-Bit Character (Std T2/T3) Format Error"); }

// Box 0 lists the 7-bit set, boxes 1 and 2 the 5-bit set; `word` is how the message spells
// "following".
QString charactersText(int box, const QString &word)
{
    QString text = QStringLiteral("Use the ") + word + QStringLiteral(" characters only:   ") + QLatin1Char('\n');
    if (box == 0) {
        text += QStringLiteral("SP ! \" # $ % & ' ( ) * + , - . / 0 1 2 3 4 5 6 7 8 9 : ; = > @ A B C   ")
                + QLatin1Char('\n')
                + QStringLiteral("D E F G H I J K L M N O P Q R S T U V W X Y Z [ \\ ] ^ _");
    } else {
        text += QStringLiteral("0 1 2 3 4 5 6 7 8 9 : ; = > ");
    }
    return text;
}

} // namespace

bool isControl(QChar c) { return c.unicode() < 32 || !c.isPrint(); }

// Only a to z: any other character (e.g. "ß", which upper-cases to "SS") stays what was typed
// and meets the check for what it is.
QChar typedChar(int box, QChar c) { return box == 0 && c >= QLatin1Char('a') && c <= QLatin1Char('z') ? c.toUpper() : c; }

QString upperCased(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        c = typedChar(0, c);
    return out;
}

bool allowedWhileTyping(int box, QChar c)
{
    if (c.unicode() > 0xFF)
        return false;
    const QByteArray &set = box == 0 ? MainModule::Track7BitChars : MainModule::Track5BitChars;
    return set.contains(char(c.unicode()));
}

bool passesLeaveCheck(int box, const QString &text)
{
    // Characters beyond Latin-1 become '?' here, which neither check admits.
    const QByteArray bytes = text.toLatin1();
    return box == 0 ? MainModule::IsValid7BitText(bytes) : MainModule::IsValid5BitText(bytes);
}

Message typingMessage(int box)
{
    return {box == 0 ? sevenBitTitle() : fiveBitTitle(), charactersText(box, QStringLiteral("following"))};
}

Message leaveMessage(int box)
{
    return {box == 0 ? sevenBitTitle() : fiveBitTitle(), charactersText(box, QStringLiteral("fellowing"))};
}

} // namespace InputRecord
