#pragma once

#include "sales/receipt_copies.h"
#include "ui/screen_dialog.h"

#include <QLabel>

class QCheckBox;
class QDateEdit;
class QLineEdit;

// TForm41, "Копия чека": copies of fiscal receipts by their running numbers.
class TForm41 : public Screen<TForm41> {
    Q_OBJECT
public:
    TForm41(Application &app, ScreenHost &host, QWidget *parent = nullptr);

protected:
    void opened() override;

private:
    void copy();

    ReceiptCopies m_ops;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_first = nullptr;
    QLineEdit *m_last = nullptr;
    QLineEdit *m_errorWord = nullptr;
};

// A label that reports single and double clicks (a double click reports its first
// click as well, as the first press of it is one).
class NumberLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// TForm54, "Копия чека ("КСЕФ")": the documents stored in a time span, and copies by
// document number.
class TForm54 : public Screen<TForm54> {
    Q_OBJECT
public:
    TForm54(Application &app, ScreenHost &host, QWidget *parent = nullptr);

protected:
    void opened() override;

private:
    void search();
    void copyByNumbers();
    // A blank label copies nothing.
    void copyNumber(const QLabel *from, QLineEdit *to);

    ReceiptCopies m_ops;
    QDateEdit *m_startDate = nullptr;
    QDateEdit *m_endDate = nullptr;
    QLineEdit *m_startTime = nullptr;
    QLineEdit *m_endTime = nullptr;
    QCheckBox *m_print = nullptr;
    NumberLabel *m_firstFound = nullptr;
    NumberLabel *m_lastFound = nullptr;
    QLineEdit *m_startNumber = nullptr;
    QLineEdit *m_endNumber = nullptr;
    QLineEdit *m_errorWord = nullptr;
};
