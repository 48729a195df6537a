#pragma once

#include "tools/flash_memory.h"
#include "ui/transfer_controls.h"
#include "ui/screen_dialog.h"

#include <memory>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

// TForm7, "Чтение/запись/обнуление фискальной памяти": the flash memory to and from
// dump files, and its erasure.
class TForm7 : public Screen<TForm7> {
    Q_OBJECT
public:
    TForm7(Application &app, ScreenHost &host, QWidget *parent = nullptr);

public slots:
    void reject() override;

protected:
    void opened() override;

private:
    class View;
    void boundsEdited(QLineEdit *changed);
    void applyButtonState();
    void erase();
    void read();
    void write();

    FlashMemory m_ops;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_address = nullptr;
    QLineEdit *m_count = nullptr;
    QLineEdit *m_currentAddress = nullptr;
    QSpinBox *m_retries = nullptr;
    QLineEdit *m_repetitions = nullptr;
    QLineEdit *m_result = nullptr;
    QLineEdit *m_status = nullptr;
    QProgressBar *m_gauge = nullptr;
    QPushButton *m_erase = nullptr;
    QPushButton *m_read = nullptr;
    QPushButton *m_write = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_close = nullptr;
    bool m_readEnabled = false;
    bool m_writeEnabled = true;
    std::unique_ptr<TransferControls> m_controls;
};
