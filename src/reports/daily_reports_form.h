#pragma once

#include "reports/daily_reports.h"
#include "ui/screen_dialog.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

// TForm23, "Печать дневных отчетов": X and Z reports, the control tape's print and clearing.
class TForm23 : public Screen<TForm23> {
    Q_OBJECT
public:
    TForm23(Application &app, ScreenHost &host, QWidget *parent = nullptr);

private:
    void report(DailyReports::ReportType type);
    void controlTape();
    void closeScreen();

    DailyReports m_ops;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_errorWord = nullptr;
    QPushButton *m_state = nullptr;
};

// TForm48, "RGT9 дневные отчеты": X and Z reports of the RGT9 model, the unloading and
// clearing of its control tape and, when asked, of its goods base.
class TForm48 : public Screen<TForm48> {
    Q_OBJECT
public:
    TForm48(Application &app, ScreenHost &host, QWidget *parent = nullptr);

private:
    void report(DailyReports::ReportType type);
    void unload();
    void refresh();
    void closeScreen();

    DailyReports m_ops;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_errorWord = nullptr;
    QPushButton *m_unload = nullptr;
    QCheckBox *m_clearGoods = nullptr;
    QPushButton *m_state = nullptr;
};
