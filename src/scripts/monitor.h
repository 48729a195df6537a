#pragma once

#include "app/prompter.h"
#include "commands/command_codes.h"
#include "commands/verdict.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class Application;

// What the monitor's manual console, the command test and script runs share: command
// codes typed as two hexadecimal digits, the barcode command's separators, the frame
// lines, and the words they use for a failed exchange.
namespace console {

constexpr char kBarcodeFieldMark = char(0xA0);
// The first four separators of a barcode line stay; later ones become 0xA0.
constexpr int kBarcodeKeptSeparators = 4;

inline const QString kBadCode = QStringLiteral("Неверный код команды!");
inline const QString kNoClosingSeparator = QStringLiteral("Отсутствует последний разделитель - ;. Ошибка!");
inline const QString kCodeOutOfRange = QStringLiteral("Неверный код команды: допустимы коды от 0x20 до 0xFF.");

inline const QString kTimeout = QStringLiteral("Ошибка выполнения команды. Таймаут");
inline const QString kChecksum = QStringLiteral("Неверная контрольная сумма");
inline const QString kRefused = QStringLiteral("Ошибка выполнения команды");
inline const QString kNak = QStringLiteral("Ошибка выполнения команды. Регистратор отверг команду (NAK)");

// How the console words a verdict: the link's failures each their own way, a registrar
// error "Ошибка выполнения команды"; empty for success and refusals (they say so
// themselves).
QString failureMessage(const Verdict &verdict);

// The code of two hexadecimal digits ("0"-"9", "A"-"F", "a"-"f") at the start of
// `text`; -1 when either of the first two characters is none (or missing).
int parseCode(const QString &text);

// The barcode command's data: it must end with ";" (false otherwise, `out` untouched);
// every ";" after the fourth, except the closing one, becomes the byte 0xA0.
bool barcodeData(const QByteArray &data, QByteArray &out);

// Request and reply frames as the manual console writes them: the request from its
// fifth byte on without ENQ, the check characters and ETX, behind "PC: (" + code + ")";
// the reply without its first byte and without EOT, the status bytes, ENQ, the check
// characters and ETX, behind "FP: ".
QString shortRequestLine(const QString &codeField, const QByteArray &request);
QString shortReplyLine(const QByteArray &reply);
// Whole frames without their first byte, as a script run writes them.
QString requestLine(const QByteArray &request);
QString replyLine(const QByteArray &reply);

} // namespace console

// The monitor screen without its widgets: the manual console, the history entries, and
// the recent script files of the settings file.
class Monitor {
public:
    static inline const QString kFileFilter = QStringLiteral("Текстовые файлы (*.txt)|*.TXT|Все|*.*");

    // What the code and password fields allow: "Выполнить" is enabled only for Valid.
    enum class CodeState {
        Incomplete, // the code field does not hold 2 characters or the password not 6
        Valid,      // the current code is the one typed
        Invalid,    // a character that is no hexadecimal digit
        OutOfRange, // a code below 0x20, which never goes on the wire
    };

    // What the console shows of a reply.
    struct Shown {
        QStringList log;    // lines for the log
        QString errorWord;  // for "Код ошибки:"
        QString statusText; // for "Статус:" when statusShown
        bool statusShown = false;
    };
    // What a manual command did: refused before sending (its message was shown, or nothing
    // could be sent), a link failure (its message was shown), or a reply to show.
    using Reply = Outcome<Shown>;

    explicit Monitor(Application &app);

    // The code or the password field changed. With 2 and 6 characters the code is parsed
    // and becomes the current one; a bad character shows "Неверный код команды!" and a
    // code below 0x20 the range of codes, unless `report` is false (a script run fills
    // the fields and reports bad codes itself).
    CodeState codeChanged(const QString &codeField, const QString &passwordField, bool report = true);
    int currentCode() const { return m_code; }
    CodeState codeState() const { return m_codeState; }

    // "Выполнить" of the console: password + ";" + data with the current code; for the
    // barcode command the data is checked and its separators marked first.
    Reply execute(const QString &codeField, const QString &password, const QString &data, bool quiet);
    // Enter in the data field: the same without the barcode rule; whole frames are
    // logged and the status field is left as it is.
    Reply sendData(const QString &password, const QString &data, bool quiet);
    // "Повторить команду": the link's last command again with its sequence number. Only
    // once the console itself has sent a command in this opening; before that the link's
    // last command is someone else's (the connection's 0x80, a screen's), and nothing is
    // sent.
    Reply repeat(bool quiet);
    bool canRepeat() const { return m_consoleSent; }
    // A new opening of the monitor: "Повторить команду" waits for the console's first command.
    void startOpening() { m_consoleSent = false; }

    // The console puts the password before the data itself; data that begins with the
    // password and ";" would send it twice. The form then shows kPasswordInDataHint.
    static bool dataRepeatsPassword(const QString &password, const QString &data);
    static inline const QString kPasswordInDataHint =
        QStringLiteral("Пароль подставляется сам: в поле «Данные» — только параметры после него.");

    // "В список": the code, "->" and the data.
    static QString historyEntry(const QString &code, const QString &data);
    // A double click on an entry: its first two characters are the code and the text
    // from its fifth character on the data.
    static void splitHistoryEntry(const QString &entry, QString &code, QString &data);

    // The recent script files, most recent first.
    QStringList recentScripts() const;
    // The file dialog of "Открыть файл".
    static Prompter::FileRequest scriptFileRequest();
    // "Открыть файл": asks for a script; on a choice it becomes the current script and
    // the first of the recent files. Returns the chosen path (empty when cancelled) and
    // in `listed` the names the drop-down list is to show, the chosen one first.
    QString openScript(QStringList &listed);

    QString currentScript() const { return m_script; }
    void setCurrentScript(const QString &path) { m_script = path; }

private:
    // Whether the code field holds a code that may be sent; a code out of range says so.
    bool codeAccepted();
    static Reply notSent();
    Reply send(const QByteArray &parameters, bool quiet, bool fullFrames, bool showStatus, const QString &codeField);
    Reply judge(const struct CommandResult *r, bool quiet, bool fullFrames, bool showStatus,
                const QString &codeField);

    Application &m_app;
    int m_code = 0;
    CodeState m_codeState = CodeState::Incomplete;
    QString m_script;
    bool m_consoleSent = false; // the console sent a command in this opening
};
