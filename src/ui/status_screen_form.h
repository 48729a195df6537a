#pragma once

#include "ui/status_view.h"

#include <QDialog>

#include <array>

class Application;
class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;

// TForm5, "Байты состояния регистратора": the six status bytes of the current result as
// read-only check boxes, the receipt state, "Обновить" and "Закрыть".
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(Application &app, QWidget *parent = nullptr);

    // Shows the application's current result. The screen does this itself whenever it is
    // shown or activated.
    void showCurrentResult();

signals:
    // "Обновить" succeeded: the main window's status bar is to read `text`.
    void statusTextChanged(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void refresh();
    void showDisplay(const StatusDisplay &display);

    Application &m_app;
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
