#pragma once
// The messages that list the characters a standard track takes, as the main window, the
// incremental record entry and the non-ISO entry show them. `word` is how a message spells
// "following" (some have always said "fellowing"); `lineEnd` joins its lines.
#include <QString>

namespace CharacterMessages {

QString sevenBitTitle();
QString fiveBitTitle();
QString sevenBitText(const QString &word, const QString &lineEnd);
QString fiveBitText(const QString &word, const QString &lineEnd);

} // namespace CharacterMessages
