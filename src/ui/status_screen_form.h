#pragma once

#include "ui/screen_dialog.h"
#include "ui/status_view.h"

#include <array>

class Application;
class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;

// TForm5, "Байты состояния регистратора": the six status bytes of the current result as
// read-only check boxes, the receipt state, "Обновить" and "Закрыть". The program keeps
// one, opened through the screen host from the main window and from every screen's
// status button, so a successful "Обновить" always reaches the main window's status bar.
class TForm5 : public Screen<TForm5> {
    Q_OBJECT
public:
    TForm5(Application &app, ScreenHost &host, QWidget *parent = nullptr);

    // Shows the application's current result. The screen does this itself whenever it is
    // opened or activated.
    void showCurrentResult();

protected:
    void opened() override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void refresh();
    void showDisplay(const StatusDisplay &display);

    StatusView m_view;
    std::array<QGroupBox *, status_bytes::kByteCount> m_groups{};
    std::array<std::array<QCheckBox *, status_bytes::kBitCount>, status_bytes::kByteCount> m_checks{};
    QListWidget *m_receiptList = nullptr;
    QPushButton *m_refreshButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    // After a failed "Обновить" the boxes keep what they showed, even when the window is
    // activated again as the message box closes; the next opening shows the current result.
    bool m_keepShown = false;
    bool m_placed = false;
};
