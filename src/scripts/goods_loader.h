#pragma once

#include "app/prompter.h"
#include "commands/verdict.h"

#include <QString>
#include <QStringList>

#include <functional>

class Application;

// The goods list loader without its widgets: a goods list file read into lines, and every
// line programmed into the registrar's goods base with 0x24, one command a line.
class GoodsLoader {
public:
    static inline const QString kCaption = QStringLiteral("Загрузка артикулов в регистратор");
    static inline const QString kTimeoutNotice = QStringLiteral("Ошибка! Таймаут устройства! ");
    static inline const QString kFinished = QStringLiteral("Завершено");
    // A goods list larger than this is not a goods list (the registrar's base holds far
    // fewer items); refusing it keeps a wrong file from taking up the memory.
    static constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

    // How a run of "Записать в регистратор" went, line by line.
    struct Tally {
        int lines = 0;
        int sent = 0;       // 0x24 commands that went out
        int refused = 0;    // refused by the registrar, or not sent because the line cannot go out
        int timedOut = 0;   // no reply
        int linkFaults = 0; // NAK or check mismatch
        // Lines left unsent because the link lost its device (the link has said so once);
        // counted among the timed out as well.
        int notSent = 0;
        // The first refused line (counted from 1) and why, for the closing report.
        int firstRefusedLine = 0;
        QString firstRefusal;
        // Set when the whole run was refused before anything was sent (the password
        // cannot go out); the message has been shown.
        QString runRefusal;
    };
    // After each line: its number (from 1), the verdict of its command (Refused when it
    // was not sent) and the tally so far.
    using Progress = std::function<void(int line, const Verdict &verdict, const Tally &tally)>;

    explicit GoodsLoader(Application &app);

    // The file dialog of "Загрузить".
    static Prompter::FileRequest fileRequest();
    // The chosen file's path, or an empty text when the user cancelled.
    QString chooseFile();

    // The lines of a goods list file. The file is read as UTF-8 when it is valid UTF-8,
    // otherwise as Windows-1251 (the registrar's own code page); line ends may be LF or
    // CR LF, and a final line end does not make an empty line of its own. False, with the
    // reason in `error`, when the file cannot be read.
    static bool readFile(const QString &path, QStringList &lines, QString &error);
    // The lines of a goods list file's content, by the rule above.
    static QStringList linesOfFile(const QByteArray &bytes);
    // The lines of the screen's text, by the same rule as a file.
    static QStringList linesOf(const QString &text);

    // "Записать в регистратор": every line in order, empty lines included, as 0x24 with
    // password + ";" + the line. A line the registrar refuses or that gets no reply does
    // not stop the loading. A line that cannot go out as one parameter string (a control
    // character, a character Windows-1251 lacks, longer than a frame holds) is not sent
    // and counts as refused. When the link has no device (the connection was lost) the
    // loading stops there. A password that cannot go out refuses the whole run before
    // anything is sent, with its message shown (`runRefusal`).
    Tally write(const QString &password, const QStringList &lines, const Progress &progress = {});
    // The closing message of a run: "Завершено", and what was refused, when anything was.
    static QString summary(const Tally &tally);

private:
    Application &m_app;
};
