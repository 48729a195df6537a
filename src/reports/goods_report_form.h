#pragma once

#include "reports/goods_report.h"
#include "reports/periodic_report.h"
#include "ui/screen_dialog.h"

class QStackedWidget;
class QDateEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// TForm24, "Отчет по реализованным товарам": the sold-goods report for a range of codes.
class TForm24 : public Screen<TForm24> {
    Q_OBJECT
public:
    TForm24(Application &app, ScreenHost &host, QWidget *parent = nullptr);

protected:
    void opened() override;

private:
    void makeReport();
    void showState();

    GoodsReport m_ops;
    QLineEdit *m_firstCode = nullptr;
    QLineEdit *m_lastCode = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_errorWord = nullptr;
    QPushButton *m_state = nullptr;
};

// TForm25, "Печать периодического отчета ": the periodic report for a range of dates or
// of report numbers, short or full.
class TForm25 : public Screen<TForm25> {
    Q_OBJECT
public:
    TForm25(Application &app, ScreenHost &host, QWidget *parent = nullptr);

protected:
    void opened() override;

private:
    void makeReport();
    void showSelectedGroup();

    PeriodicReport m_ops;
    QRadioButton *m_byDate = nullptr;
    QRadioButton *m_full = nullptr;
    QGroupBox *m_dates = nullptr;
    QGroupBox *m_numbers = nullptr;
    QStackedWidget *m_range = nullptr;
    QDateEdit *m_firstDate = nullptr;
    QDateEdit *m_lastDate = nullptr;
    QLineEdit *m_firstNumber = nullptr;
    QLineEdit *m_lastNumber = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_errorWord = nullptr;
    QPushButton *m_state = nullptr;
};
