#include "card/InputRecord.h"

#include "card/Validators.h"
#include "card/CharacterMessages.h"

namespace InputRecord {

namespace {

// Box 0 lists the 7-bit set, boxes 1 and 2 the 5-bit set, over lines ended LF.
Message charactersMessage(int box, const QString &word)
{
    using namespace CharacterMessages;
    const QString lf(QLatin1Char('\n'));
    if (box == 0)
        return {sevenBitTitle(), sevenBitText(word, lf)};
    return {fiveBitTitle(), fiveBitText(word, lf)};
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

std::optional<QString> typedText(int box, const QString &typed)
{
    QString given;
    for (QChar c : typed) {
        const QChar k = isControl(c) ? c : typedChar(box, c);
        if (!isControl(c) && !allowedWhileTyping(box, k))
            return std::nullopt;
        given += k;
    }
    return given;
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
    return charactersMessage(box, QStringLiteral("following"));
}

Message leaveMessage(int box)
{
    return charactersMessage(box, QStringLiteral("fellowing"));
}

} // namespace InputRecord
