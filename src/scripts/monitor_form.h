#pragma once

#include "scripts/monitor.h"
#include "scripts/script_runner.h"
#include "ui/screen_dialog.h"

#include <memory>

class Application;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class TForm40;

// TForm28, "Монитор для фискального регистратора + запуск скриптов": the manual command
// console with its log and history, and the script runner with its recent files, run
// buttons, line counter and the variables window. A script's SetSpeed reopens the port
// the host says the connection uses and tells the host the new speed, or the lost port.
class TForm28 : public Screen<TForm28> {
    Q_OBJECT
public:
    TForm28(Application &app, ScreenHost &host, QWidget *parent = nullptr);
    ~TForm28() override;

    ScriptRunner &runner() { return m_runner; }
    Monitor &monitor() { return m_monitor; }
    TForm40 *variablesWindow() const { return m_variables; }

protected:
    void opened() override;
    void hideEvent(QHideEvent *event) override;
    void reject() override;

private:
    void buildWidgets();
    void updateExecuteButton(bool report);
    void updatePasswordHint();
    void showReply(const Monitor::Reply &reply);
    void fillScriptList(const QStringList &names, int selected);
    void prepareRunner();
    int counterValue() const;

    // Console.
    void executeCommand();
    void sendData();
    void repeatCommand();
    void addToHistory();
    void historyChosen(QListWidgetItem *item);
    void statusButtonClicked();
    // Scripts.
    void scriptChosen(int index);
    void openScript();
    void runScript();
    void continueScript();
    void stepScript();

    // What a run shows (through the sink).
    void appendLog(const QString &line);
    void fillCommandFields(const QString &code, const QString &password, const QString &data);
    void showLineCounter(int line);
    void repaintDuringRun();

    class Sink;
    friend class Sink;

    std::unique_ptr<Sink> m_sink; // made before the runner that writes to it
    Monitor m_monitor;
    ScriptRunner m_runner;
    bool m_filling = false; // a script run is filling the console's fields

    QPlainTextEdit *m_log = nullptr;
    QCheckBox *m_noRepaintCheck = nullptr;
    QCheckBox *m_quietCheck = nullptr;
    QPushButton *m_clearLogButton = nullptr;
    QGroupBox *m_consoleGroup = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QLineEdit *m_codeEdit = nullptr;
    QLineEdit *m_dataEdit = nullptr;
    QLabel *m_dataHintLabel = nullptr; // shown while the data begins with the password
    QLineEdit *m_errorWordEdit = nullptr;
    QLineEdit *m_statusEdit = nullptr;
    QPushButton *m_statusButton = nullptr;
    QPushButton *m_executeButton = nullptr;
    QPushButton *m_repeatButton = nullptr;
    QPushButton *m_addToListButton = nullptr;
    QListWidget *m_historyList = nullptr;
    QComboBox *m_fileCombo = nullptr;
    QPushButton *m_openFileButton = nullptr;
    QPushButton *m_runButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_continueButton = nullptr;
    QPushButton *m_stepButton = nullptr;
    QLineEdit *m_lineCounterEdit = nullptr;
    QPushButton *m_variablesButton = nullptr;
    QPushButton *m_exitButton = nullptr;

    TForm40 *m_variables = nullptr;
};
