#pragma once

#include "reports/additional_reports.h"
#include "reports/resource_info.h"
#include "ui/screen_dialog.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// TForm31, "Печать дополнительных дневных отчетов": reports by departments and by
// operators and the control tape, each inside a non-fiscal receipt.
class TForm31 : public Screen<TForm31> {
    Q_OBJECT
public:
    TForm31(Application &app, ScreenHost &host, QWidget *parent = nullptr);

protected:
    void opened() override;

private:
    void makeReport();

    AdditionalReports m_ops;
    QComboBox *m_type = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_errorWord = nullptr;
};

// TForm10, "Информация о свободных ресурсах и статусе": free resources, the shift's
// opening and the permissions of the fiscal memory.
class TForm10 : public Screen<TForm10> {
    Q_OBJECT
public:
    TForm10(Application &app, ScreenHost &host, QWidget *parent = nullptr);

protected:
    void opened() override;

private:
    void makeReport();

    ResourceInfo m_ops;
    std::array<QCheckBox *, ResourceInfo::kPermissionCount> m_permissions{};
    std::array<QLineEdit *, ResourceInfo::kValueCount> m_values{};
    QLineEdit *m_password = nullptr;
    QLineEdit *m_errorWord = nullptr;
    QPushButton *m_state = nullptr;
};
