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

    // The file dialog of "Загрузить": the chosen file's path, or an empty text when the
    // user cancelled.
    QString chooseFile();
    // The lines of the goods list file at `path` (app/goods_file.h). False, with the
    // reason shown, when it cannot be read.
    bool load(const QString &path, QStringList &lines);

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
    // Shows the closing message of a run on the screen (not for a run refused before
    // anything was sent: its message has been shown already).
    void report(const Tally &tally);

private:
    Application &m_app;
};
