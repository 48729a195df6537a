#pragma once

#include "scripts/command_test.h"

#include <QDialog>

class Application;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class TForm5;

// TForm14, "Тест команд": any registrar command by its code, password and parameter
// text, with the reply's data, error word and status bytes.
class TForm14 : public QDialog {
    Q_OBJECT
public:
    explicit TForm14(Application &app, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void activate();
    void execute();
    void openStatusScreen();

    Application &m_app;
    CommandTest m_ops;
    QLineEdit *m_codeEdit = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QLineEdit *m_commandLineEdit = nullptr;
    QLineEdit *m_resultEdit = nullptr;
    QLineEdit *m_errorWordEdit = nullptr;
    QLineEdit *m_statusEdit = nullptr;
    QPushButton *m_statusButton = nullptr;
    QPushButton *m_executeButton = nullptr;
    QPushButton *m_exitButton = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_statusPanel = nullptr;
    TForm5 *m_statusScreen = nullptr;
};
