#pragma once

#include "scripts/monitor.h"
#include "scripts/script_runner.h"

#include <QDialog>

#include <functional>
#include <memory>

class Application;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class TForm5;
class TForm40;

// TForm28, "Монитор для фискального регистратора + запуск скриптов": the manual command
// console with its log and history, and the script runner with its recent files, run
// buttons, line counter and the variables window.
class TForm28 : public QDialog {
    Q_OBJECT
public:
    explicit TForm28(Application &app, QWidget *parent = nullptr);
    ~TForm28() override;

    // The port SetSpeed reopens: the one the main window shows.
    void setPortNameSource(std::function<QString()> source) { m_portName = std::move(source); }

    ScriptRunner &runner() { return m_runner; }
    Monitor &monitor() { return m_monitor; }
    TForm40 *variablesWindow() const { return m_variables; }

signals:
    // SetSpeed reopened the port at one of the rates of the main window's speed list.
    void baudRateSelected(qint32 rate);
    // SetSpeed closed the serial port and could not open it again.
    void serialConnectionLost();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void reject() override;

private:
    void buildWidgets();
    void activate();
    void updateExecuteButton(bool report);
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
    void openStatusScreen();
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

    Application &m_app;
    std::unique_ptr<Sink> m_sink; // made before the runner that writes to it
    Monitor m_monitor;
    ScriptRunner m_runner;
    std::function<QString()> m_portName;
    bool m_filling = false; // a script run is filling the console's fields

    QPlainTextEdit *m_log = nullptr;
    QCheckBox *m_noRepaintCheck = nullptr;
    QCheckBox *m_quietCheck = nullptr;
    QPushButton *m_clearLogButton = nullptr;
    QGroupBox *m_consoleGroup = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QLineEdit *m_codeEdit = nullptr;
    QLineEdit *m_dataEdit = nullptr;
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
    TForm5 *m_statusScreen = nullptr;
};
