#pragma once

#include "tools/logo_programming.h"
#include "ui/transfer_controls.h"
#include "ui/screen_dialog.h"

#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// TForm6, "Программирования логотипа": a picture programmed into the registrar as the
// logo it prints on receipts.
class TForm6 : public Screen<TForm6> {
    Q_OBJECT
public:
    TForm6(Application &app, ScreenHost &host, QWidget *parent = nullptr);

public slots:
    void reject() override;

protected:
    void opened() override;

private:
    class View;
    void openPicture();
    void program();

    LogoProgramming m_ops;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_maxWidth = nullptr;
    QLineEdit *m_maxHeight = nullptr;
    QLineEdit *m_pictureWidth = nullptr;
    QLineEdit *m_pictureHeight = nullptr;
    QLineEdit *m_width = nullptr;
    QLineEdit *m_height = nullptr;
    QLabel *m_picture = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_open = nullptr;
    QPushButton *m_program = nullptr;
    QPushButton *m_close = nullptr;
    std::unique_ptr<TransferControls> m_controls;
};
