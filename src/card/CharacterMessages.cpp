#include "card/CharacterMessages.h"

namespace CharacterMessages {

namespace {
QString heading(const QString &word, const QString &lineEnd)
{
    return QStringLiteral("Use the ") + word + QStringLiteral(" characters only:   ") + lineEnd;
}
} // namespace

QString sevenBitTitle() { return QStringLiteral(" 7-Bit Character (Std T1) Format Error"); }
QString fiveBitTitle() { return QStringLiteral(" 5-Bit Character (Std T2/T3) Format Error"); }

QString sevenBitText(const QString &word, const QString &lineEnd)
{
    return heading(word, lineEnd)
           + QStringLiteral("SP ! \" # $ % & ' ( ) * + , - . / 0 1 2 3 4 5 6 7 8 9 : ; = > @ A B C   ") + lineEnd
           + QStringLiteral("D E F G H I J K L M N O P Q R S T U V W X Y Z [ \\ ] ^ _");
}

QString fiveBitText(const QString &word, const QString &lineEnd)
{
    return heading(word, lineEnd) + QStringLiteral("0 1 2 3 4 5 6 7 8 9 : ; = > ");
}

} // namespace CharacterMessages
