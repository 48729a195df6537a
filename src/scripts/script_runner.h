#pragma once

#include "scripts/script_parser.h"
#include "scripts/script_reader.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QRandomGenerator>
#include <QString>

#include <array>
#include <functional>

class Application;
struct CommandResult;

// A declared script variable: its full name (prefix + name) and its text value.
struct ScriptVariable {
    QByteArray name;
    QByteArray value;
};

enum class DeclarationState { Initial, BlockOpened, VariablesDeclared, Executing, Failed };

// A While or If operand: a variable (by number, read at each evaluation) or a literal.
struct ConditionOperand {
    int variable = -1;
    QByteArray literal;
};

// What an If and a While block share: the head line that keys it and its condition.
struct ConditionBlock {
    qint64 position = -1; // the head line, the block's key
    int depth = 0;
    script::CompareOp op = script::CompareOp::None;
    bool result = false;
    ConditionOperand left, right;
};

struct IfBlock : ConditionBlock {
    qint64 endIfPosition = -1; // -1: not met yet
    qint64 thenPosition = -1;
    bool thenSeen = false;
    qint64 elsePosition = -1;
    bool elseSeen = false;
};

struct WhileBlock : ConditionBlock {
    enum class Status { New, Looping, Finished };
    qint64 endWhilePosition = -1; // -1: not met yet
    Status status = Status::New;
};

// When pending, the run skips forward to the next line that contains the text.
struct SearchLabel {
    QByteArray text;
    bool pending = false;
};

// Where a run writes what the monitor shows. Every method but logLine has a default
// that ignores it, so a sink without a window (the command line) overrides only a few.
class ScriptSink {
public:
    virtual ~ScriptSink() = default;
    // A line of the monitor's log.
    virtual void logLine(const QString &line) = 0;
    // The code, password and data fields, as a command line fills them.
    virtual void commandFields(const QString &code, const QString &password, const QString &data)
    {
        Q_UNUSED(code);
        Q_UNUSED(password);
        Q_UNUSED(data);
    }
    virtual void errorWord(const QString &word) { Q_UNUSED(word); }  // "Код ошибки:"
    virtual void statusText(const QString &text) { Q_UNUSED(text); } // "Статус:"
    virtual void lineCounter(int line) { Q_UNUSED(line); }           // "Ном. стр. скрипта:"
    // Rows of the variables window: emptied at a run start, one added by New (number
    // counts from 1), the value written by Set (Oper leaves the row as it is).
    virtual void variablesCleared() {}
    virtual void variableAdded(int number, const QString &name) { Q_UNUSED(number); Q_UNUSED(name); }
    virtual void variableChanged(int number, const QString &value) { Q_UNUSED(number); Q_UNUSED(value); }
    // SetSpeed reopened the port at a rate of the main window's baud list.
    virtual void speedSelected(qint32 rate) { Q_UNUSED(rate); }
    // SetSpeed closed the serial port and could not open it again: the program is no
    // longer connected.
    virtual void connectionLost() {}
    // A command that failed without ending the run (RunCommand): a log line that must be
    // seen even where frame lines are not wanted.
    virtual void commandFailure(const QString &line) { logLine(line); }
    // Lets the window handle pending input (the stop button) between lines.
    virtual void processEvents() {}
    virtual void repaint() {}
};

// Runs script files: from the first line, plain command lines from a given line on, or
// one line at a time. Commands go through the application's link; messages go through
// its prompter; Delay waits on its clock. One run at a time: a start while a run is in
// progress (from a window's event processing) is refused.
class ScriptRunner {
public:
    static constexpr int kMaxVariables = 100;
    static constexpr int kMaxBlocks = 100;  // If blocks, and While blocks, each
    static constexpr int kMaxDepth = 100;
    static constexpr int kMaxRunCommandParameters = 20;
    static constexpr int kMaxReplyField = 19;
    static constexpr int kPortFailurePauseMs = 500;

    enum class Outcome {
        EndOfFile,     // the script reached its end ("Конец файла!")
        StepDone,      // Step executed its line
        Stopped,       // a stop request was honoured
        NoReply,       // a command got no reply
        Nak,           // the registrar refused a command line's frame
        CommandFailed, // a command's error word was not "0000"
        ChecksumError, // a reply's check value did not match
        Refused,       // a statement or line was refused
        PortLost,      // SetSpeed could not open the port again: disconnected
        NoFile,        // no script chosen, or it cannot be opened
        Busy,          // a run is already in progress
    };

    // Reopens the serial port at a rate; true on success.
    using PortReopener = std::function<bool(const QString &port, qint32 rate)>;

    ScriptRunner(Application &app, ScriptSink &sink);

    // The monitor's activation: seeds the generator of Oper 7 and clears the stop request.
    void activate();

    void setScript(const QString &path) { m_script = path; }
    QString script() const { return m_script; }
    // "Не выводить данные": no frame lines of successful commands, no comments.
    void setQuiet(bool on) { m_quiet = on; }
    bool quiet() const { return m_quiet; }
    // "Не перерисовывать форму"
    void setNoRepaint(bool on) { m_noRepaint = on; }
    // The port SetSpeed reopens (the one the main window shows); empty: the settings file's.
    // Over USB there is no port of the computer's to reopen, and SetSpeed only says so.
    void setPortName(const QString &name) { m_portName = name; }
    // How SetSpeed reopens the port; by default CloseSerial and OpenSerial of the link.
    void setPortReopener(PortReopener reopener) { m_reopen = std::move(reopener); }
    // The date and time Oper 11 formats; by default the computer's local time.
    void setDateTimeSource(std::function<QDateTime()> now) { m_now = std::move(now); }
    // Where the generator of Oper 7 takes its seed at activation and at each run start;
    // by default the current time.
    void setSeedSource(std::function<quint32()> seed) { m_seed = std::move(seed); }

    // "Выполнить": the current script from its first line.
    Outcome run();
    // "Продолжить": plain command lines from the line after `line`.
    Outcome continueFrom(int line);
    // "Шаг": one line after `line`.
    Outcome step(int line);
    // "Стоп": examined after every line.
    void requestStop() { m_stop = true; }
    bool stopRequested() const { return m_stop; }
    bool running() const { return m_running; }

    int lineCounter() const { return m_counter; }
    const QList<ScriptVariable> &variables() const { return m_variables; }
    // Choosing another script empties the variables.
    void clearVariables();
    DeclarationState declarationState() const { return m_state; }
    // Set by DeclareEnd and cleared by most statements; while set, a further declaration
    // statement is misplaced. A run starts with it clear.
    bool declarationClosed() const { return m_declClosed; }
    const QList<IfBlock> &ifBlocks() const { return m_ifBlocks; }
    const QList<WhileBlock> &whileBlocks() const { return m_whileBlocks; }

    // The messages of one kind of block (If or While).
    struct BlockTexts {
        script::Keyword keyword;
        QString tooMany;
        QString badOperator;
        QString badBlock;
    };

private:
    enum class Pass { Next, End };

    void seedGenerator();
    bool openScript();
    void startAtLine(int line);
    Outcome endPass(Outcome outcome);
    void logComment(const QByteArray &line);
    void resetRunState();
    void setCounter(int value);
    Outcome endOfFile();
    Outcome refuse(const QString &message, const QByteArray &echo = QByteArray());
    Outcome refuseState(const QString &message);
    Outcome conversionError(const QByteArray &text, const QByteArray &line);

    Pass executeLine(const QByteArray &line, qint64 position, Outcome &outcome);
    Pass executeCommandLine(const QByteArray &line, Outcome &outcome);
    // Reads the next line; false at the end of the file (reported) or at a line too long
    // to run (refused), with `outcome` set.
    bool nextLine(QByteArray &line, Outcome &outcome);
    Pass executeStatement(script::Keyword keyword, const QByteArray &line, qint64 position, Outcome &outcome);

    Pass declareBeg(const QByteArray &line, Outcome &outcome);
    Pass declareNew(const QByteArray &line, Outcome &outcome);
    Pass declareEnd(Outcome &outcome);
    Pass delay(const QByteArray &line, Outcome &outcome);
    Pass setSpeed(const QByteArray &line, Outcome &outcome);
    Pass assign(const QByteArray &line, Outcome &outcome);
    Pass whileHead(const QByteArray &line, qint64 position, Outcome &outcome);
    Pass endWhile(const QByteArray &line, qint64 position, Outcome &outcome);
    Pass ifHead(const QByteArray &line, qint64 position, Outcome &outcome);
    Pass ifPart(script::Keyword keyword, const QByteArray &line, qint64 position, Outcome &outcome);
    Pass runCommand(const QByteArray &line, Outcome &outcome);
    Pass oper(const QByteArray &line, Outcome &outcome);
    Pass print(const QByteArray &line, Outcome &outcome);

    bool variablesDeclared() const;
    int findVariable(const QByteArray &name) const;
    bool parseOperands(const script::Condition &condition, ConditionOperand &left, ConditionOperand &right) const;
    // Appends the block of a head line met for the first time and puts it on `stack`;
    // its number, or -1 with `outcome` set when it cannot be taken.
    template <class Block>
    int addBlock(QList<Block> &blocks, int &depth, std::array<int, kMaxDepth + 1> &stack, const BlockTexts &texts,
                 const QByteArray &line, qint64 position, Outcome &outcome);
    // Evaluates a block's condition into its result; false with `outcome` set when it cannot.
    bool evaluateBlock(ConditionBlock &block, const BlockTexts &texts, const QByteArray &line, Outcome &outcome);
    // Evaluates a condition; false with `bad` set when an operand is no integer.
    bool evaluate(script::CompareOp op, const ConditionOperand &left, const ConditionOperand &right,
                  bool &result, QByteArray &bad) const;
    QByteArray operandValue(const ConditionOperand &operand) const;
    QByteArray replyField(int field) const;

    void logDevice(const QByteArray &text);
    void showCommandOutcome(const CommandResult &result);

    Application &m_app;
    ScriptSink &m_sink;
    ScriptReader m_reader;
    QString m_script;
    QString m_portName;
    PortReopener m_reopen;
    std::function<QDateTime()> m_now;
    std::function<quint32()> m_seed;
    QRandomGenerator m_random;
    bool m_quiet = false;
    bool m_noRepaint = false;
    bool m_stop = false;
    bool m_running = false;
    int m_counter = 0;
    // The last RunCommand's reply failed its check: its fields are not to be read.
    bool m_replyDoubtful = false;

    QList<ScriptVariable> m_variables;
    QByteArray m_prefix;
    DeclarationState m_state = DeclarationState::Initial;
    bool m_declClosed = false;
    QList<IfBlock> m_ifBlocks;
    std::array<int, kMaxDepth + 1> m_ifStack{}; // block numbers by depth (1 and up)
    int m_ifDepth = 0;
    QList<WhileBlock> m_whileBlocks;
    std::array<int, kMaxDepth + 1> m_whileStack{};
    int m_whileDepth = 0;
    SearchLabel m_search;
};
