#pragma once

#include "reports/daily_reports.h"
#include "ui/screen_dialog.h"

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;

// What both daily screens are built from: "Пароль:", "Код ошибки:", the group of report
// buttons with the X and Z reports, "Состояние регистратора" and "Закрыть", which
// empties the error word, disables the state button, sets the shared mark and closes.
struct DailyScreenParts {
    QLineEdit *password = nullptr;
    QLineEdit *errorWord = nullptr;
    QPushButton *state = nullptr;
    QGridLayout *reports = nullptr; // X and Z on its first row; room below
    // Before an operation: the state button on.
    void starting() const;

    static DailyScreenParts build(ScreenDialog &screen, DailyReports &ops);
};

// TForm23, "Печать дневных отчетов": X and Z reports, the control tape's print and clearing.
class TForm23 : public Screen<TForm23> {
    Q_OBJECT
public:
    TForm23(Application &app, ScreenHost &host, QWidget *parent = nullptr);

private:
    DailyReports m_ops;
    DailyScreenParts m_parts;
};

// TForm48, "RGT9 дневные отчеты": X and Z reports of the RGT9 model, the unloading and
// clearing of its control tape and, when asked, of its goods base.
class TForm48 : public Screen<TForm48> {
    Q_OBJECT
public:
    TForm48(Application &app, ScreenHost &host, QWidget *parent = nullptr);

private:
    void refresh();

    DailyReports m_ops;
    DailyScreenParts m_parts;
    QPushButton *m_unload = nullptr;
    QCheckBox *m_clearGoods = nullptr;
};
