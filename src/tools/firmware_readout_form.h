#pragma once

#include "tools/firmware_readout.h"
#include "ui/transfer_controls.h"
#include "ui/screen_dialog.h"

#include <memory>

class QLineEdit;
class QProgressBar;
class QPushButton;

// TForm45, "Чтение ПО": the registrar's software image into a file.
class TForm45 : public Screen<TForm45> {
    Q_OBJECT
public:
    TForm45(Application &app, ScreenHost &host, QWidget *parent = nullptr);

public slots:
    void reject() override;

protected:
    void opened() override;

private:
    class View;
    void read();

    FirmwareReadout m_ops;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_errorWord = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_read = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_exit = nullptr;
    std::unique_ptr<TransferControls> m_controls;
};
