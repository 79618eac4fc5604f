#include "core/TerminalText.h"

QString TerminalText(const QString& text) {
    QString safe;
    safe.reserve(text.size());
    for (const QChar ch : text) {
        if (ch.category() != QChar::Other_Control) {
            safe += ch;
            continue;
        }
        safe += QStringLiteral("\\x");
        safe += QString::number(ch.unicode(), 16).toUpper().rightJustified(2, u'0');
    }
    return safe;
}

QByteArray TerminalBytes(const QString& text) {
    return TerminalText(text).toLocal8Bit();
}
