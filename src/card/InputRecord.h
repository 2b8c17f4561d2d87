#pragma once
#include <optional>
// The rules of the input record boxes (tracks 1..3 in boxes 0..2): what may be typed, what
// passes when a box is left, and the messages that say so.
#include <QByteArray>
#include <QChar>
#include <QString>

namespace InputRecord {

constexpr int BoxCount = 3;
// Longest text of each input box.
constexpr int MaxLength[BoxCount] = {76, 37, 104};

struct Message {
    QString title;
    QString text;
};

// Keys whose character code is below 32 (backspace, enter, tab, ctrl-combinations) are never
// checked; nor is anything the box would not insert as text.
bool isControl(QChar c);
// The character a key gives in `box`: box 0 takes capitals.
QChar typedChar(int box, QChar c);
// Track 1 text as it is kept: a to z upper-cased, nothing else changed.
QString upperCased(const QString &text);
// True when `c` (after typedChar) may be typed into `box`.
bool allowedWhileTyping(int box, QChar c);
// What a key's text puts into `box`: each character as typedChar gives it, control characters
// as they are; nothing when a character may not be typed there.
std::optional<QString> typedText(int box, const QString &typed);
// True when the whole text passes the check on leaving `box` (box 0 after upper-casing).
bool passesLeaveCheck(int box, const QString &text);

Message typingMessage(int box);
Message leaveMessage(int box);

} // namespace InputRecord
