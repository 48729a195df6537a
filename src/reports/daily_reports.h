#pragma once

#include "commands/verdict.h"

#include <QString>

class Application;
struct AppState;

// The daily reports without their widgets: the X and Z reports, the control tape's
// print, clearing and unloading, for "Печать дневных отчетов" and "RGT9 дневные отчеты".
// Every operation returns the error word the screen shows in "Код ошибки:".
class DailyReports {
public:
    static inline const QString kCaption = QStringLiteral("Печать дневных отчетов");
    static inline const QString kRgt9Caption = QStringLiteral("RGT9 дневные отчеты");
    static inline const QString kReportsHeading = QStringLiteral("Печать дневных отчетов:\n  ");
    static inline const QString kClearTapeHeading = QStringLiteral("Обнуление контрольной ленты:\n  ");
    static inline const QString kStatusHeading = QStringLiteral("Проверка состояния регистратора:\n  ");
    static inline const QString kControlTapeHeading = QStringLiteral("%MHJc*** Контрольная лента ***");

    // Said when the Z report's reply was lost and the registrar's count of free fiscal
    // reports could not be read either.
    static inline const QString kZUnknown = QStringLiteral(
        "Неизвестно, выполнен ли Z-отчет: ответ регистратора потерян, и проверить его не удалось.\n"
        "Прежде чем повторять, проверьте ленту или \"Свободно фискальных отчетов\" в \"Информация о "
        "свободных ресурсах и статусе\".");

    // Said when the clearing's reply was lost: the registrar keeps nothing the program can
    // read to tell whether it ran.
    static inline const QString kClearTapeUnknown = QStringLiteral(
        "Неизвестно, обнулена ли контрольная лента: ответ регистратора потерян.\n"
        "Прежде чем повторять, проверьте ленту регистратора.");

    // Asked before the reports that cannot be undone; Cancel is the default answer.
    static inline const QString kZQuestion = QStringLiteral(
        "Выполнить Z-отчет?\nСмена будет закрыта, отчет записан в фискальную память. Отменить это нельзя.");
    static inline const QString kClearTapeQuestion = QStringLiteral(
        "Обнулить контрольную ленту?\nЕе записи будут стерты. Отменить это нельзя.");

    // The report types of command 0xA1.
    enum ReportType { ZReport = 0, XReport = 1, ClearControlTape = 2, UnloadControlTape = 5 };

    explicit DailyReports(Application &app);

    // One 0xA1 command: X report, Z report or clearing the control tape. The Z report and
    // the clearing run only after the user's OK to kZQuestion or kClearTapeQuestion;
    // otherwise nothing is sent (the outcome is a refusal). A Z report closes
    // the day once: the count of free fiscal reports (0xA0) is read before it, and when
    // its reply is lost, read again to tell whether it ran (one less: it did, and that is
    // a success; the same: it did not; unreadable: kZUnknown is said).
    Outcome<> printReport(const QString &password, ReportType type);
    // "Свободно фискальных отчетов" from 0xA0, -1 when it could not be read.
    int freeFiscalReports(const QString &password);
    // The control tape inside a non-fiscal receipt opened with the password input: its
    // heading, the tape (0xA6 2), the closing. A failed step stops the rest, but the
    // receipt it opened is closed all the same, so sales are not blocked; the first
    // failure is the outcome.
    Outcome<> printControlTape(const QString &password);
    // The RGT9 model's unloading and clearing of the control tape (0xA1 5, then 2), then,
    // when asked, the clearing of its goods base (0x3B). Each step runs only after the
    // previous one succeeded.
    Outcome<> unloadControlTape(const QString &password, bool clearGoodsBase);

    // Whether the RGT9 screen offers the unloading: software version 3.02 or the
    // priority level "high".
    static bool unloadOffered(const AppState &state);

private:
    Application &m_app;
};
