#pragma once

#include "tools/exchange_log_model.h"
#include "ui/screen_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;

// "Просмотр журнала обмена": an exchange log decoded, one row per exchange, with filters
// by command and by failure, a search, and the whole of the chosen exchange below.
//
// Another screen asks for a log to be shown by setting the property "logFile" on this
// screen before opening it (screen folders do not include each other).
class ExchangeLogViewer : public Screen<ExchangeLogViewer> {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Просмотр журнала обмена");
    static constexpr char kLogFileProperty[] = "logFile";

    ExchangeLogViewer(Application &app, ScreenHost &host, QWidget *parent = nullptr);

    // Shows a log file; false (and the reason through the prompter) when it cannot be read.
    bool openLog(const QString &path);
    ExchangeLogModel &model() { return m_model; }
    QSize sizeHint() const override;

protected:
    void opened() override;

private:
    void chooseFile();
    void fillCommandList();
    void showCounts();
    void showDetails();
    void search();

    ExchangeLogModel m_model;
    QLineEdit *m_fileEdit = nullptr;
    QPushButton *m_reloadButton = nullptr;
    QComboBox *m_commandCombo = nullptr;
    QCheckBox *m_errorsOnlyCheck = nullptr;
    QLineEdit *m_searchEdit = nullptr;
    QTimer *m_searchTimer = nullptr;
    QTableView *m_table = nullptr;
    QPlainTextEdit *m_details = nullptr;
    QLabel *m_countsPanel = nullptr;
};
