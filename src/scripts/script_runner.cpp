#include "scripts/script_runner.h"

#include "app/application.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "commands/command_codes.h"
#include "commands/verdict.h"
#include "scripts/monitor.h"

#include <climits>

using script::Keyword;

namespace {

// The system's messages.
const QString kNoFile = QStringLiteral("Внимание! Файл не выбран!");
const QString kEndOfFile = QStringLiteral("Конец файла!");
const QString kMisplacedDeclaration = QStringLiteral("Ошибка - неверное расположение описания данных.");
const QString kSecondDeclareBeg = QStringLiteral("Ошибка - ошибка в описаниях. DeclareBeg уже был ранее.");
const QString kNewOutside =
    QStringLiteral("Ошибка - ошибка в описаниях. Оператор New расположен вне секции описаний.");
const QString kMisplacedDeclareEnd = QStringLiteral("Ошибка - ошибка в описаниях. Ошибочное расположение DeclareEnd.");
const QString kSetBeforeEnd = QStringLiteral("Ошибка - ошибка в описаниях. Секция определений неверна.");
const QString kBadSet = QStringLiteral("Ошибка - ошибка в операторе Set.");
const QString kUndeclared = QStringLiteral("Ошибка - присвоение несуществующей переменной.");
const QString kIfOutside = QStringLiteral("Ошибка - ошибка в If-Then. Оператор New расположен вне секции описаний.");
const QString kPrintOutside = QStringLiteral("Ошибка - ошибка в описаниях.");
const QString kWhileOperator = QStringLiteral("Некорректная операция в операторе While - ошибка!");
const QString kIfOperator = QStringLiteral("Некорректная операция в операторе If - ошибка!");
const QString kBadOperand = QStringLiteral("Ошибка переменной!");
const QString kWhileBlock = QStringLiteral("Ошибка цикла While!");
const QString kIfBlock = QStringLiteral("Ошибка цикла If!");
const QString kWhileStatus = QStringLiteral("Ошибка статуса блока While!");
const QString kFirstParameter = QStringLiteral("Ошибка первого параметра!");
const QString kSecondParameter = QStringLiteral("Ошибка второго параметра!");
const QString kOperation = QStringLiteral("Ошибка операции!");
const QString kOperResult = QStringLiteral("Ошибка результата операции!");
const QString kPortOk = QStringLiteral("Подключение порта - успешно!");
const QString kPortFailed = QStringLiteral("Ошибка подключения порта!");

// Our own words where the run used to crash or go astray.
const QString kCannotOpen = QStringLiteral("Ошибка - файл скрипта не открывается: %1");
const QString kNotInteger = QStringLiteral("Ошибка - \"%1\" не является целым числом.");
const QString kDivisionByZero = QStringLiteral("Ошибка - деление на ноль.");
const QString kOverflow = QStringLiteral("Ошибка - арифметическое переполнение.");
const QString kTooLong = QStringLiteral("Ошибка - значение длиннее %1 символов.").arg(script::kMaxValueLength);
const QString kTooManyVariables = QStringLiteral("Ошибка - больше %1 переменных.").arg(ScriptRunner::kMaxVariables);
const QString kTooManyWhile = QStringLiteral("Ошибка - больше %1 циклов While.").arg(ScriptRunner::kMaxBlocks);
const QString kTooManyIf = QStringLiteral("Ошибка - больше %1 операторов If.").arg(ScriptRunner::kMaxBlocks);
const QString kTooDeep = QStringLiteral("Ошибка - вложенность больше %1.").arg(ScriptRunner::kMaxDepth);
const QString kTooManyParameters =
    QStringLiteral("Ошибка - больше %1 параметров RunCommand.").arg(ScriptRunner::kMaxRunCommandParameters);
const QString kReplyFieldRange = QStringLiteral("Ошибка - номер поля %Ret больше %1.").arg(ScriptRunner::kMaxReplyField);
const QString kLineTooLong =
    QStringLiteral("Ошибка - строка %2 скрипта длиннее %1 символов, она не выполняется.").arg(script::kMaxLineLength);
const QString kBadRate = QStringLiteral("Ошибка - неверная скорость порта: %1.");
const QString kUsbSpeed =
    QStringLiteral("Подключение по USB: скорость порта компьютера не меняется, SetSpeed ничего не делает.");
const QString kPortLost = QStringLiteral("Порт не открылся на новой скорости: регистратор отключён, скрипт остановлен.");

const qint32 kListedRates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

QString text(const QByteArray &bytes)
{
    return code_page::fromDevice(bytes);
}

struct RunningMark {
    explicit RunningMark(bool &flag) : m_flag(flag) { m_flag = true; }
    ~RunningMark() { m_flag = false; }
    bool &m_flag;
};

} // namespace

ScriptRunner::ScriptRunner(Application &app, ScriptSink &sink)
    : m_app(app), m_sink(sink), m_now([] { return QDateTime::currentDateTime(); })
{
    m_reopen = [this](const QString &port, qint32 rate) {
        m_app.link().CloseSerial();
        return m_app.link().OpenSerial(port, rate);
    };
    activate();
}

void ScriptRunner::activate()
{
    seedGenerator();
    m_stop = false;
}

void ScriptRunner::seedGenerator()
{
    m_random.seed(m_seed ? m_seed() : quint32(QDateTime::currentMSecsSinceEpoch()));
}

void ScriptRunner::clearVariables()
{
    m_variables.clear();
    m_sink.variablesCleared();
}

void ScriptRunner::resetRunState()
{
    m_search = SearchLabel();
    m_ifDepth = 0;
    m_whileDepth = 0;
    m_ifBlocks.clear();
    m_whileBlocks.clear();
    m_prefix.clear();
    m_state = DeclarationState::Initial;
    // The mark of a closed declaration section belongs to one run: a script that ends
    // right after its declarations can be run again.
    m_declClosed = false;
    m_replyDoubtful = false;
    clearVariables();
}

void ScriptRunner::setCounter(int value)
{
    m_counter = value;
    m_sink.lineCounter(value);
}

ScriptRunner::Outcome ScriptRunner::endOfFile()
{
    m_app.prompter().showMessage(kEndOfFile);
    setCounter(0);
    return Outcome::EndOfFile;
}

ScriptRunner::Outcome ScriptRunner::refuse(const QString &message, const QByteArray &echo)
{
    m_app.prompter().showMessage(message);
    if (!echo.isEmpty())
        m_sink.logLine(text(echo));
    return Outcome::Refused;
}

ScriptRunner::Outcome ScriptRunner::refuseState(const QString &message)
{
    m_state = DeclarationState::Failed;
    return refuse(message);
}

ScriptRunner::Outcome ScriptRunner::conversionError(const QByteArray &bad, const QByteArray &line)
{
    return refuse(kNotInteger.arg(text(bad)), line);
}

bool ScriptRunner::nextLine(QByteArray &line, Outcome &outcome)
{
    if (!m_reader.readLine(line)) {
        outcome = endOfFile();
        return false;
    }
    setCounter(m_counter + 1);
    // A line beyond the line buffer is refused whole: run in pieces, its tail would go
    // out as a command of its own.
    if (m_reader.lineTooLong()) {
        outcome = refuse(kLineTooLong.arg(m_counter), line.left(60) + "...");
        return false;
    }
    return true;
}

// ---- Run, Continue, Step ------------------------------------------------------------

// The script opened for a pass, or false with the message shown: none chosen, or it
// cannot be read.
bool ScriptRunner::openScript()
{
    if (m_script.isEmpty()) {
        m_app.prompter().showMessage(kNoFile);
        return false;
    }
    if (!m_reader.open(m_script)) {
        m_app.prompter().showMessage(kCannotOpen.arg(m_script));
        return false;
    }
    return true;
}

// Continue and Step start at a line the operator gives (a negative one reads as 0).
void ScriptRunner::startAtLine(int line)
{
    m_counter = qMax(0, line);
    m_reader.skipLines(m_counter);
}

ScriptRunner::Outcome ScriptRunner::endPass(Outcome outcome)
{
    if (!m_noRepaint)
        m_sink.repaint();
    m_reader.close();
    return outcome;
}

// A "+" line: "Комментарий:: TEXT!!!", unless data is not to be shown.
void ScriptRunner::logComment(const QByteArray &line)
{
    if (!m_quiet)
        m_sink.logLine(QStringLiteral("Комментарий:: ") + text(line.mid(1)) + QStringLiteral("!!!"));
}

ScriptRunner::Outcome ScriptRunner::run()
{
    if (m_running)
        return Outcome::Busy;
    if (!openScript())
        return Outcome::NoFile;
    seedGenerator();
    m_stop = false;
    RunningMark mark(m_running);
    setCounter(0);
    resetRunState();

    Outcome outcome = Outcome::EndOfFile;
    for (;;) {
        if (m_search.pending) {
            m_reader.skipTo(m_search.text);
            m_search = SearchLabel();
        }
        const qint64 position = m_reader.pos();
        QByteArray raw;
        if (!nextLine(raw, outcome))
            break;
        m_sink.processEvents();
        // A line of blanks only is trimmed to nothing and skipped like an empty one.
        const QByteArray line = script::trimmed(raw);
        if (!line.isEmpty() && executeLine(line, position, outcome) == Pass::End)
            break;
        // Examined after every line, so that a loop of statements alone can be stopped.
        if (m_stop) {
            outcome = Outcome::Stopped;
            break;
        }
    }
    return endPass(outcome);
}

ScriptRunner::Outcome ScriptRunner::continueFrom(int line)
{
    if (m_running)
        return Outcome::Busy;
    m_stop = false;
    if (!openScript())
        return Outcome::NoFile;
    RunningMark mark(m_running);
    startAtLine(line);

    Outcome outcome = Outcome::EndOfFile;
    for (;;) {
        QByteArray raw;
        if (!nextLine(raw, outcome))
            break;
        m_sink.processEvents();
        // Leading blanks stay and statements are not recognised here.
        if (script::trimmed(raw).isEmpty() || raw.startsWith(';')) {
            // nothing to do
        } else if (raw.startsWith('+')) {
            logComment(raw);
        } else if (executeCommandLine(raw, outcome) == Pass::End) {
            break;
        }
        if (m_stop) {
            outcome = Outcome::Stopped;
            break;
        }
    }
    return endPass(outcome);
}

ScriptRunner::Outcome ScriptRunner::step(int line)
{
    if (m_running)
        return Outcome::Busy;
    if (!openScript())
        return Outcome::NoFile;
    RunningMark mark(m_running);
    startAtLine(line);

    Outcome outcome = Outcome::StepDone;
    for (;;) {
        QByteArray raw;
        if (!nextLine(raw, outcome))
            break;
        if (raw.startsWith(';'))
            break;
        if (raw.startsWith('+')) {
            logComment(raw);
            break;
        }
        // A line of at most one character, or of blanks only, is passed over.
        if (raw.size() <= 1 || script::trimmed(raw).isEmpty())
            continue;
        if (executeCommandLine(raw, outcome) == Pass::Next)
            outcome = Outcome::StepDone;
        break;
    }
    m_reader.close();
    return outcome;
}

// ---- One line -------------------------------------------------------------------------

ScriptRunner::Pass ScriptRunner::executeLine(const QByteArray &line, qint64 position, Outcome &outcome)
{
    if (line.startsWith('%')) {
        if (m_declClosed && script::namesDeclaration(line)) {
            outcome = refuseState(kMisplacedDeclaration);
            return Pass::End;
        }
        const Keyword k = script::declarationKeyword(line);
        if (k != Keyword::None)
            return executeStatement(k, line, position, outcome);
    }
    const Keyword k = script::controlKeyword(line);
    if (k != Keyword::None)
        return executeStatement(k, line, position, outcome);
    if (line.startsWith(';'))
        return Pass::Next;
    if (line.startsWith('+')) {
        // Under "Не выводить данные" a comment is neither shown nor sent.
        logComment(line);
        return Pass::Next;
    }
    return executeCommandLine(line, outcome);
}

void ScriptRunner::logDevice(const QByteArray &bytes)
{
    m_sink.logLine(text(bytes));
}

void ScriptRunner::showCommandOutcome(const CommandResult &r)
{
    m_sink.errorWord(text(r.errorWord));
    m_sink.statusText(r.statusText());
}

ScriptRunner::Pass ScriptRunner::executeCommandLine(const QByteArray &line, Outcome &outcome)
{
    const script::CommandLine c = script::splitCommandLine(line);
    // "Продолжить" and "Шаг" take a statement for a command line and refuse it; its pieces
    // ("%D", "eclare") must not land in the console's code and password fields.
    const bool statement = script::declarationKeyword(line) != Keyword::None
                           || script::controlKeyword(line) != Keyword::None;
    if (!statement)
        m_sink.commandFields(text(c.codeText), text(c.password), text(c.data));
    // A line whose first two characters are no code is not sent under whatever code
    // came before it.
    if (c.code < 0) {
        outcome = refuse(console::kBadCode, line);
        return Pass::End;
    }
    if (!cmd::sendable(c.code)) {
        outcome = refuse(console::kCodeOutOfRange, line);
        return Pass::End;
    }
    m_sink.processEvents();
    const CommandResult *r = m_app.execute(c.code, c.parameters);
    m_replyDoubtful = false;
    // Every mode judges alike: a refused frame or a reply that fails its check is no
    // answer, and ends the run as a missing one does.
    const Verdict verdict = Verdict::of(*r);
    switch (verdict.kind) {
    case Verdict::Kind::NoReply:
        outcome = Outcome::NoReply;
        break;
    case Verdict::Kind::Nak:
        outcome = Outcome::Nak;
        break;
    case Verdict::Kind::ChecksumMismatch:
        outcome = Outcome::ChecksumError;
        break;
    case Verdict::Kind::RegistrarError:
        showCommandOutcome(*r);
        outcome = Outcome::CommandFailed;
        break;
    case Verdict::Kind::Success:
    case Verdict::Kind::Refused:
        break;
    }
    if (!verdict.ok()) {
        m_app.prompter().showMessage(console::failureMessage(verdict));
        return Pass::End;
    }
    if (!m_quiet) {
        m_sink.logLine(QStringLiteral("PC: ") + text(r->request.mid(1)));
        m_sink.logLine(QStringLiteral("FP: ") + text(r->reply.mid(1)));
    }
    showCommandOutcome(*r);
    m_sink.processEvents();
    if (!m_noRepaint)
        m_sink.repaint();
    return Pass::Next;
}

ScriptRunner::Pass ScriptRunner::executeStatement(Keyword k, const QByteArray &line, qint64 position,
                                                  Outcome &outcome)
{
    switch (k) {
    case Keyword::DeclareBeg:
        return declareBeg(line, outcome);
    case Keyword::New:
        return declareNew(line, outcome);
    case Keyword::DeclareEnd:
        return declareEnd(outcome);
    case Keyword::Delay:
        return delay(line, outcome);
    case Keyword::SetSpeed:
        return setSpeed(line, outcome);
    case Keyword::Set:
        return assign(line, outcome);
    case Keyword::While:
        return whileHead(line, position, outcome);
    case Keyword::EndWhile:
        return endWhile(line, position, outcome);
    case Keyword::If:
        return ifHead(line, position, outcome);
    case Keyword::Then:
    case Keyword::Else:
    case Keyword::EndIf:
        return ifPart(k, line, position, outcome);
    case Keyword::RunCommand:
        return runCommand(line, outcome);
    case Keyword::Oper:
        return oper(line, outcome);
    case Keyword::Print:
        return print(line, outcome);
    case Keyword::None:
        break;
    }
    return Pass::Next;
}

// ---- Declarations and assignment -------------------------------------------------------

ScriptRunner::Pass ScriptRunner::declareBeg(const QByteArray &line, Outcome &outcome)
{
    if (m_state != DeclarationState::Initial) {
        outcome = refuseState(kSecondDeclareBeg);
        return Pass::End;
    }
    m_prefix = script::argumentOf(line, Keyword::DeclareBeg);
    m_declClosed = false;
    m_state = DeclarationState::BlockOpened;
    return Pass::Next;
}

ScriptRunner::Pass ScriptRunner::declareNew(const QByteArray &line, Outcome &outcome)
{
    if (m_state != DeclarationState::BlockOpened && m_state != DeclarationState::VariablesDeclared) {
        outcome = refuseState(kNewOutside);
        return Pass::End;
    }
    if (m_variables.size() >= kMaxVariables) {
        outcome = refuse(kTooManyVariables, line);
        return Pass::End;
    }
    m_variables.append({m_prefix + script::argumentOf(line, Keyword::New), QByteArray()});
    m_sink.variableAdded(int(m_variables.size()), text(m_variables.last().name));
    m_declClosed = false;
    m_state = DeclarationState::VariablesDeclared;
    return Pass::Next;
}

ScriptRunner::Pass ScriptRunner::declareEnd(Outcome &outcome)
{
    if (m_state != DeclarationState::BlockOpened && m_state != DeclarationState::VariablesDeclared) {
        outcome = refuseState(kMisplacedDeclareEnd);
        return Pass::End;
    }
    m_declClosed = true;
    m_state = DeclarationState::Executing;
    return Pass::Next;
}

int ScriptRunner::findVariable(const QByteArray &name) const
{
    for (int i = 0; i < m_variables.size(); ++i)
        if (m_variables[i].name == name)
            return i;
    return -1;
}

bool ScriptRunner::variablesDeclared() const
{
    return m_state == DeclarationState::VariablesDeclared || m_state == DeclarationState::Executing;
}

QByteArray ScriptRunner::replyField(int field) const
{
    if (m_replyDoubtful)
        return QByteArray();
    return m_app.link().Result().field(field);
}

ScriptRunner::Pass ScriptRunner::assign(const QByteArray &line, Outcome &outcome)
{
    if (m_state != DeclarationState::Executing) {
        outcome = refuseState(kSetBeforeEnd);
        return Pass::End;
    }
    const std::optional<script::SetStatement> set = script::parseSet(line);
    if (!set) {
        outcome = refuseState(kBadSet);
        return Pass::End;
    }
    const int target = findVariable(set->name);
    if (target < 0) {
        outcome = refuseState(kUndeclared);
        return Pass::End;
    }
    QByteArray value;
    int field = 0;
    if (script::isQuoted(set->value)) {
        value = script::unquoted(set->value);
    } else if (script::parseReplyField(set->value, field)) {
        if (field > kMaxReplyField) {
            outcome = refuse(kReplyFieldRange, line);
            return Pass::End;
        }
        value = replyField(field);
    } else if (const int source = findVariable(set->value); source >= 0) {
        value = m_variables[source].value;
    } else {
        return Pass::Next; // no value form: the variable keeps its value
    }
    m_variables[target].value = value;
    m_sink.variableChanged(target + 1, text(value));
    m_state = DeclarationState::Executing;
    return Pass::Next;
}

// ---- Delay and SetSpeed ------------------------------------------------------------------

ScriptRunner::Pass ScriptRunner::delay(const QByteArray &line, Outcome &outcome)
{
    const QByteArray arg = script::delayArgument(line);
    qint64 ms = 0;
    if (!script::toInteger(arg, ms) || ms > INT_MAX || ms < INT_MIN) {
        outcome = conversionError(arg, line);
        return Pass::End;
    }
    m_app.clock().sleepMs(int(ms));
    return Pass::Next;
}

ScriptRunner::Pass ScriptRunner::setSpeed(const QByteArray &line, Outcome &outcome)
{
    const QByteArray arg = script::setSpeedArgument(line);
    qint64 rate = 0;
    if (!script::toInteger(arg, rate) || rate > INT_MAX || rate < INT_MIN) {
        outcome = conversionError(arg, line);
        return Pass::End;
    }
    // Over USB the connection has no baud rate on the computer's side; closing "the
    // serial port" there would drop the USB link without its reset.
    const AppState &state = m_app.state();
    if (state.usbConnected && !state.serialConnected) {
        m_sink.logLine(QStringLiteral("SetSpeed Port=USB  Speed=") + text(arg));
        m_sink.logLine(kUsbSpeed);
        return Pass::Next;
    }
    // A rate no port takes is refused before the port is touched.
    if (rate <= 0) {
        outcome = refuse(kBadRate.arg(text(arg)), line);
        return Pass::End;
    }
    const QString port = m_portName.isEmpty() ? m_app.config().port() : m_portName;
    m_sink.logLine(QStringLiteral("SetSpeed Port=") + port + QStringLiteral("  Speed=") + text(arg));
    if (m_reopen && m_reopen(port, qint32(rate))) {
        m_sink.logLine(kPortOk);
        for (qint32 listed : kListedRates)
            if (listed == rate)
                m_sink.speedSelected(listed);
        return Pass::Next;
    }
    // The port is closed now: the commands after this line would go nowhere.
    m_sink.logLine(kPortFailed);
    m_app.clock().sleepMs(kPortFailurePauseMs);
    m_sink.connectionLost();
    m_app.prompter().showMessage(kPortLost);
    outcome = Outcome::PortLost;
    return Pass::End;
}

// ---- Conditions, While and If ----------------------------------------------------------

bool ScriptRunner::parseOperands(const script::Condition &c, ConditionOperand &left, ConditionOperand &right) const
{
    auto one = [this](const QByteArray &t, ConditionOperand &o) {
        o.variable = findVariable(t);
        if (o.variable >= 0)
            return true;
        o.literal = t;
        qint64 ignored = 0;
        return script::isDigits(t) && script::toInteger(t, ignored);
    };
    return one(c.left, left) && one(c.right, right);
}

QByteArray ScriptRunner::operandValue(const ConditionOperand &o) const
{
    return o.variable >= 0 && o.variable < m_variables.size() ? m_variables[o.variable].value : o.literal;
}

bool ScriptRunner::evaluate(script::CompareOp op, const ConditionOperand &left, const ConditionOperand &right,
                            bool &result, QByteArray &bad) const
{
    qint64 a = 0, b = 0;
    const QByteArray x = operandValue(left);
    const QByteArray y = operandValue(right);
    if (!script::toInteger(x, a)) {
        bad = x;
        return false;
    }
    if (!script::toInteger(y, b)) {
        bad = y;
        return false;
    }
    result = script::compare(a, op, b);
    return true;
}

const ScriptRunner::BlockTexts kWhileTexts{Keyword::While, kTooManyWhile, kWhileOperator, kWhileBlock};
const ScriptRunner::BlockTexts kIfTexts{Keyword::If, kTooManyIf, kIfOperator, kIfBlock};

template <class Block>
int ScriptRunner::addBlock(QList<Block> &blocks, int &depth, std::array<int, kMaxDepth + 1> &stack,
                           const BlockTexts &texts, const QByteArray &line, qint64 position, Outcome &outcome)
{
    if (blocks.size() >= kMaxBlocks) {
        outcome = refuse(texts.tooMany, line);
        return -1;
    }
    if (depth >= kMaxDepth) {
        outcome = refuse(kTooDeep, line);
        return -1;
    }
    const script::Condition c = script::parseCondition(script::argumentOf(line, texts.keyword));
    if (c.op == script::CompareOp::None) {
        outcome = refuse(texts.badOperator, line);
        return -1;
    }
    Block block;
    if (!parseOperands(c, block.left, block.right)) {
        outcome = refuse(kBadOperand, line);
        return -1;
    }
    block.position = position;
    block.op = c.op;
    block.depth = ++depth;
    blocks.append(block);
    const int number = int(blocks.size()) - 1;
    stack[size_t(depth)] = number;
    return number;
}

bool ScriptRunner::evaluateBlock(ConditionBlock &block, const BlockTexts &texts, const QByteArray &line,
                                 Outcome &outcome)
{
    if (block.op == script::CompareOp::None) {
        outcome = refuse(texts.badBlock, line);
        return false;
    }
    QByteArray bad;
    if (!evaluate(block.op, block.left, block.right, block.result, bad)) {
        outcome = conversionError(bad, line);
        return false;
    }
    return true;
}

ScriptRunner::Pass ScriptRunner::whileHead(const QByteArray &line, qint64 position, Outcome &outcome)
{
    if (!variablesDeclared()) {
        outcome = refuseState(kNewOutside);
        return Pass::End;
    }
    m_declClosed = false;

    int number = -1;
    for (int i = 0; i < m_whileBlocks.size(); ++i)
        if (m_whileBlocks[i].position == position)
            number = i;
    if (number >= 0) {
        switch (m_whileBlocks[number].status) {
        case WhileBlock::Status::Finished:
            // Reached again (inside an outer loop): on the stack once more.
            if (m_whileDepth >= kMaxDepth) {
                outcome = refuse(kTooDeep, line);
                return Pass::End;
            }
            m_whileStack[++m_whileDepth] = number;
            break;
        case WhileBlock::Status::Looping:
        case WhileBlock::Status::New:
            break; // already on the stack
        default:
            outcome = refuse(kWhileStatus, line);
            return Pass::End;
        }
    } else {
        number = addBlock(m_whileBlocks, m_whileDepth, m_whileStack, kWhileTexts, line, position, outcome);
        if (number < 0)
            return Pass::End;
    }

    WhileBlock &block = m_whileBlocks[number];
    if (!evaluateBlock(block, kWhileTexts, line, outcome))
        return Pass::End;
    // A false condition met for the first time runs the body once: its EndWhile is
    // not known yet.
    if (!block.result && block.endWhilePosition >= 0)
        m_reader.seek(block.endWhilePosition);
    return Pass::Next;
}

ScriptRunner::Pass ScriptRunner::endWhile(const QByteArray &line, qint64 position, Outcome &outcome)
{
    if (!variablesDeclared()) {
        outcome = refuseState(kNewOutside);
        return Pass::End;
    }
    m_declClosed = false;
    if (m_whileDepth <= 0) {
        outcome = refuse(kWhileBlock, line);
        return Pass::End;
    }
    WhileBlock &block = m_whileBlocks[m_whileStack[m_whileDepth]];
    if (block.endWhilePosition < 0)
        block.endWhilePosition = position;
    if (block.result) {
        block.status = WhileBlock::Status::Looping;
        m_reader.seek(block.position);
    } else {
        block.status = WhileBlock::Status::Finished;
        --m_whileDepth;
    }
    return Pass::Next;
}

ScriptRunner::Pass ScriptRunner::ifHead(const QByteArray &line, qint64 position, Outcome &outcome)
{
    if (!variablesDeclared()) {
        outcome = refuseState(kIfOutside);
        return Pass::End;
    }
    m_declClosed = false;

    int number = -1;
    for (int i = 0; i < m_ifBlocks.size(); ++i)
        if (m_ifBlocks[i].position == position)
            number = i;
    if (number >= 0) {
        m_ifDepth = m_ifBlocks[number].depth;
        m_ifStack[m_ifDepth] = number;
    } else {
        number = addBlock(m_ifBlocks, m_ifDepth, m_ifStack, kIfTexts, line, position, outcome);
        if (number < 0)
            return Pass::End;
    }

    IfBlock &block = m_ifBlocks[number];
    if (!evaluateBlock(block, kIfTexts, line, outcome))
        return Pass::End;
    if (block.result && block.thenSeen)
        m_reader.seek(block.thenPosition);
    else if (!block.result && block.elseSeen)
        m_reader.seek(block.elsePosition);
    else if (!block.result)
        m_search = SearchLabel{"%Else", true};
    return Pass::Next;
}

ScriptRunner::Pass ScriptRunner::ifPart(Keyword k, const QByteArray &line, qint64 position, Outcome &outcome)
{
    if (!variablesDeclared()) {
        outcome = refuseState(kNewOutside);
        return Pass::End;
    }
    m_declClosed = false;
    if (m_ifDepth <= 0) {
        outcome = refuse(kIfBlock, line);
        return Pass::End;
    }
    IfBlock &block = m_ifBlocks[m_ifStack[m_ifDepth]];
    switch (k) {
    case Keyword::Then:
        block.thenSeen = true;
        if (block.thenPosition < 0)
            block.thenPosition = position;
        if (!block.result)
            m_search = SearchLabel{"%Else", true};
        break;
    case Keyword::Else:
        block.elseSeen = true;
        if (block.elsePosition < 0)
            block.elsePosition = position;
        if (block.result)
            m_search = SearchLabel{"%EndIf", true};
        break;
    default: // EndIf
        if (block.endIfPosition < 0)
            block.endIfPosition = position;
        --m_ifDepth;
        break;
    }
    return Pass::Next;
}

// ---- RunCommand, Oper, Print ------------------------------------------------------------

ScriptRunner::Pass ScriptRunner::runCommand(const QByteArray &line, Outcome &outcome)
{
    if (!variablesDeclared()) {
        outcome = refuseState(kNewOutside);
        return Pass::End;
    }
    const script::RunCommandArguments args = script::parseRunCommand(script::argumentOf(line, Keyword::RunCommand));
    qint64 code = 0;
    // A number of digits beyond 64 bits is a code out of range, never one wrapped round.
    const bool digits = script::isDigits(args.code);
    if (!script::toInteger(args.code, code) && !digits) {
        outcome = conversionError(args.code, line);
        return Pass::End;
    }
    if (args.parameters.size() > kMaxRunCommandParameters) {
        outcome = refuse(kTooManyParameters, line);
        return Pass::End;
    }
    // Compared as the 64-bit number it is: cut to an int first, a huge code could wrap
    // round into the range.
    if ((digits && !script::toInteger(args.code, code)) || code < cmd::kFirstCode || code > cmd::kLastCode) {
        outcome = refuse(console::kCodeOutOfRange, line);
        return Pass::End;
    }
    QByteArray parameters;
    for (const QByteArray &p : args.parameters) {
        QByteArray value;
        if (const int v = findVariable(p); v >= 0)
            value = script::unquoted(m_variables[v].value);
        else if (script::isDigits(p))
            value = p;
        else if (script::isQuoted(p))
            value = script::unquoted(p);
        else {
            outcome = refuse(kFirstParameter, line);
            return Pass::End;
        }
        parameters += value + ';';
    }
    const CommandResult *r = m_app.execute(int(code), parameters);
    const Verdict verdict = Verdict::of(*r);
    m_replyDoubtful = verdict.kind == Verdict::Kind::ChecksumMismatch;
    if (verdict.kind == Verdict::Kind::NoReply) {
        m_app.prompter().showMessage(console::kTimeout);
        outcome = Outcome::NoReply;
        return Pass::End;
    }
    // The statement does not judge its reply and the run goes on, but a failure is
    // written down: a script that reads %Ret afterwards finds it empty.
    if (!verdict.ok()) {
        QString why = console::failureMessage(verdict);
        if (verdict.kind == Verdict::Kind::RegistrarError) {
            why += QStringLiteral(", код ошибки ") + text(verdict.errorWord);
            if (!verdict.message.isEmpty())
                why += QStringLiteral(": ") + verdict.message;
        }
        m_sink.commandFailure(QStringLiteral("RunCommand(%1): ").arg(code) + why);
    }
    m_declClosed = false;
    return Pass::Next;
}

ScriptRunner::Pass ScriptRunner::oper(const QByteArray &line, Outcome &outcome)
{
    if (!variablesDeclared()) {
        outcome = refuseState(kNewOutside);
        return Pass::End;
    }
    const script::OperArguments args = script::parseOper(script::argumentOf(line, Keyword::Oper));
    auto operand = [this](const QByteArray &t, script::OperOperand &o) {
        if (const int v = findVariable(t); v >= 0)
            o.text = m_variables[v].value;
        else if (script::isDigits(t))
            o.text = t;
        else if (script::isQuoted(t)) {
            o.text = script::unquoted(t);
            o.quoted = true;
        } else
            return false;
        return true;
    };
    script::OperOperand a, b;
    if (!operand(args.a, a)) {
        outcome = refuse(kFirstParameter, line);
        return Pass::End;
    }
    if (!operand(args.b, b)) {
        outcome = refuse(kSecondParameter, line);
        return Pass::End;
    }
    if (!script::isDigits(args.op)) {
        outcome = refuse(kOperation, line);
        return Pass::End;
    }
    qint64 op = 0;
    if (!script::toInteger(args.op, op)) {
        outcome = refuse(kOperation, line); // digits beyond 64 bits
        return Pass::End;
    }
    const int target = findVariable(args.result);
    if (target < 0) {
        outcome = refuse(kOperResult, line);
        return Pass::End;
    }

    script::OperContext context;
    if (op == 11)
        context.now = m_now ? m_now() : QDateTime::currentDateTime();
    context.draw = [this] { return m_random.generate(); };
    QByteArray value, bad;
    switch (script::computeOper(op, a, b, context, value, bad)) {
    case script::OperStatus::Done:
        m_variables[target].value = value; // the grid row is left as it was
        break;
    case script::OperStatus::Unchanged:
        break;
    case script::OperStatus::QuotedOperand:
        outcome = refuse(kOperation, line);
        return Pass::End;
    case script::OperStatus::NotInteger:
        outcome = conversionError(bad, line);
        return Pass::End;
    case script::OperStatus::FirstOutOfRange:
        outcome = refuse(kFirstParameter, line);
        return Pass::End;
    case script::OperStatus::SecondOutOfRange:
        outcome = refuse(kSecondParameter, line);
        return Pass::End;
    case script::OperStatus::DivisionByZero:
        outcome = refuse(kDivisionByZero, line);
        return Pass::End;
    case script::OperStatus::Overflow:
        outcome = refuse(kOverflow, line);
        return Pass::End;
    case script::OperStatus::TooLong:
        outcome = refuse(kTooLong, line);
        return Pass::End;
    }
    m_declClosed = false;
    return Pass::Next;
}

ScriptRunner::Pass ScriptRunner::print(const QByteArray &line, Outcome &outcome)
{
    if (!variablesDeclared()) {
        outcome = refuseState(kPrintOutside);
        return Pass::End;
    }
    m_declClosed = false;
    const QByteArray item = script::argumentOf(line, Keyword::Print);
    int field = 0;
    if (script::parseReplyField(item, field)) {
        if (field > kMaxReplyField) {
            outcome = refuse(kReplyFieldRange, line);
            return Pass::End;
        }
        logDevice(';' + item + '=' + replyField(field));
    }
    for (const ScriptVariable &v : m_variables)
        if (v.name == item)
            logDevice(';' + v.name + '=' + v.value);
    m_state = DeclarationState::Executing;
    return Pass::Next;
}
