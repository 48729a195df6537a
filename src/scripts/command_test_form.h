#pragma once

#include "scripts/command_test.h"
#include "ui/form_kit.h"
#include "ui/screen_dialog.h"

class QLineEdit;

// TForm14, "Тест команд": any registrar command by its code, password and parameter
// text, with the reply's data, error word and status bytes.
class TForm14 : public Screen<TForm14> {
    Q_OBJECT
public:
    TForm14(Application &app, ScreenHost &host, QWidget *parent = nullptr);

protected:
    void opened() override;

private:
    void execute();

    CommandTest m_ops;
    QLineEdit *m_code = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_commandLine = nullptr;
    QLineEdit *m_result = nullptr;
    QLineEdit *m_errorWord = nullptr;
    kit::StatusRow m_status;
};
