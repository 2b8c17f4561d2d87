#pragma once
// What the operator is asked when the encoder cannot be reached (setup's "Communications Error"
// window and the command line's message).
#include <QString>
#include <array>

namespace CommErrorText {
inline const QString kTitle = QStringLiteral("Communications Error");
inline const std::array<QString, 4> kQuestions{
    QStringLiteral("     Is encoder connected to PC?"),
    QStringLiteral("     Is COM port selection correct?"),
    QStringLiteral("     Is encoder powered up?"),
    QStringLiteral("     Is emulation mode selection        correct?"),
};
} // namespace CommErrorText
