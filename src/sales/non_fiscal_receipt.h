#pragma once

#include "commands/verdict.h"

#include <QString>
#include <QStringList>

class Application;

// The non-fiscal receipt screen without its widgets: free text lines printed between
// 0x60 and 0x65.
class NonFiscalReceipt {
public:
    static inline const QString kCaption = QStringLiteral("Нефискальный чек");
    static inline const QString kSeparatorWarning =
        QStringLiteral("; - недопустимый символ, \n   будет удален при печати чека!");
    static inline const QString kSeparatorWarningCaption = QStringLiteral("Ввод текста");
    static inline const QString kNothingToPrint =
        QStringLiteral("Нет текста для печати: чек не напечатан.");

    explicit NonFiscalReceipt(Application &app);

    // "Печать чека:": 0x60, each line with every ";" removed as 0x61, then 0x65 "%s;0;".
    // Every line is checked before the receipt is opened: a text with nothing to print,
    // or a line that cannot go out, refuses the whole receipt with nothing sent. A text
    // holding ";" is printed only after kSeparatorWarning is answered OK. When a line fails
    // on the registrar the receipt is closed again, and that failure is the one reported.
    Outcome<> print(const QString &password, const QStringList &lines);

    // The text's lines as they are printed: each ";" removed.
    static QString printable(const QString &line);

private:
    Application &m_app;
};
