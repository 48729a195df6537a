#include "scripts/monitor.h"

#include "app/application.h"
#include "link/code_page.h"
#include "link/command_result.h"

#include <QDir>

namespace console {

namespace {

// Bytes around the data of a frame: SOH LEN SEQ CMD before it; ENQ, four check
// characters and ETX after a request; EOT, six status bytes, ENQ, four check characters
// and ETX after a reply.
constexpr int kRequestHead = 4;
constexpr int kRequestTail = 6;
constexpr int kReplyHead = 1;
constexpr int kReplyTail = 13;

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// The bytes from `head` on without the last `tail`; empty when the frame is too short.
QByteArray middle(const QByteArray &frame, int head, int tail)
{
    const qsizetype n = frame.size() - head - tail;
    return n > 0 ? frame.mid(head, n) : QByteArray();
}

} // namespace

int parseCode(const QString &text)
{
    if (text.size() < 2)
        return -1;
    const int high = hexDigit(text.at(0));
    const int low = hexDigit(text.at(1));
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

bool barcodeData(const QByteArray &data, QByteArray &out)
{
    if (!data.endsWith(';'))
        return false;
    QByteArray marked = data;
    int separators = 0;
    for (qsizetype i = 0; i + 1 < marked.size(); ++i) {
        if (marked.at(i) != ';')
            continue;
        if (++separators > kBarcodeKeptSeparators)
            marked[i] = kBarcodeFieldMark;
    }
    out = marked;
    return true;
}

QString failureMessage(const Verdict &verdict)
{
    switch (verdict.kind) {
    case Verdict::Kind::NoReply:
        return kTimeout;
    case Verdict::Kind::Nak:
        return kNak;
    case Verdict::Kind::ChecksumMismatch:
        return kChecksum;
    case Verdict::Kind::RegistrarError:
        return kRefused;
    case Verdict::Kind::Success:
    case Verdict::Kind::Refused:
        break;
    }
    return QString();
}

QString shortRequestLine(const QString &codeField, const QByteArray &request)
{
    return QStringLiteral("PC: (") + codeField + QStringLiteral(")")
        + code_page::fromDevice(middle(request, kRequestHead, kRequestTail));
}

QString shortReplyLine(const QByteArray &reply)
{
    return QStringLiteral("FP: ") + code_page::fromDevice(middle(reply, kReplyHead, kReplyTail));
}

QString requestLine(const QByteArray &request)
{
    return QStringLiteral("PC: ") + code_page::fromDevice(request.mid(1));
}

QString replyLine(const QByteArray &reply)
{
    return QStringLiteral("FP: ") + code_page::fromDevice(reply.mid(1));
}

} // namespace console

Monitor::Monitor(Application &app) : m_app(app) {}

Monitor::CodeState Monitor::codeChanged(const QString &codeField, const QString &passwordField, bool report)
{
    if (codeField.size() != 2 || passwordField.size() != 6) {
        m_codeState = CodeState::Incomplete;
        return m_codeState;
    }
    const int code = console::parseCode(codeField);
    if (code < 0) {
        // The code that was current stays, but nothing is sent until a good one is typed.
        m_codeState = CodeState::Invalid;
        if (report)
            m_app.prompter().showMessage(console::kBadCode);
        return m_codeState;
    }
    if (!cmd::sendable(code)) {
        m_codeState = CodeState::OutOfRange;
        if (report)
            m_app.prompter().showMessage(console::kCodeOutOfRange);
        return m_codeState;
    }
    m_code = code;
    m_codeState = CodeState::Valid;
    return m_codeState;
}

bool Monitor::codeAccepted()
{
    if (m_codeState == CodeState::OutOfRange)
        m_app.prompter().showMessage(console::kCodeOutOfRange);
    return m_codeState == CodeState::Valid;
}

Monitor::Reply Monitor::execute(const QString &codeField, const QString &password, const QString &data, bool quiet)
{
    if (!codeAccepted())
        return notSent();
    QByteArray bytes = code_page::toDevice(data);
    if (m_code == cmd::PrintBarcode && !console::barcodeData(code_page::toDevice(data), bytes)) {
        m_app.prompter().showMessage(console::kNoClosingSeparator);
        return notSent();
    }
    return send(code_page::toDevice(password) + ';' + bytes, quiet, false, true, codeField);
}

Monitor::Reply Monitor::sendData(const QString &password, const QString &data, bool quiet)
{
    // A code field that holds no good code must not send under the code that came before.
    if (!codeAccepted())
        return notSent();
    return send(code_page::toDevice(password) + ';' + code_page::toDevice(data), quiet, true, false, QString());
}

Monitor::Reply Monitor::repeat(bool quiet)
{
    DeviceLink &link = m_app.link();
    // Nothing went out from the console yet: there is no command of its own to repeat.
    if (!m_consoleSent || link.Result().request.isEmpty())
        return notSent();
    const bool attached = link.activeTransport() != nullptr;
    const CommandResult *r = m_app.repeatPrevious(false);
    if (!r || !attached)
        return notSent(); // busy, or the link has said that no device is connected
    return judge(r, quiet, true, true, QString());
}

Monitor::Reply Monitor::notSent()
{
    return {Verdict::refused(0), {}};
}

Monitor::Reply Monitor::send(const QByteArray &parameters, bool quiet, bool fullFrames, bool showStatus,
                             const QString &codeField)
{
    const bool attached = m_app.link().activeTransport() != nullptr;
    const CommandResult *r = m_app.execute(m_code, parameters);
    if (!attached)
        return notSent(); // the link has said that no device is connected
    // Sent, whatever came back: a command that went unanswered is the one worth repeating.
    m_consoleSent = true;
    return judge(r, quiet, fullFrames, showStatus, codeField);
}

Monitor::Reply Monitor::judge(const CommandResult *r, bool quiet, bool fullFrames, bool showStatus,
                              const QString &codeField)
{
    Reply out{Verdict::of(*r), {}};
    if (out.verdict.linkFailed()) {
        // A failed exchange carries no error word of its own: the field would show the
        // previous reply's.
        m_app.prompter().showMessage(console::failureMessage(out.verdict));
        return out;
    }
    Shown &shown = out.shown;
    if (!quiet) {
        if (fullFrames) {
            shown.log << console::requestLine(r->request) << console::replyLine(r->reply);
        } else {
            shown.log << console::shortRequestLine(codeField, r->request) << console::shortReplyLine(r->reply);
        }
    }
    shown.errorWord = code_page::fromDevice(r->errorWord);
    shown.statusShown = showStatus;
    if (showStatus)
        shown.statusText = r->statusText();
    return out;
}

bool Monitor::dataRepeatsPassword(const QString &password, const QString &data)
{
    return !password.isEmpty() && data.startsWith(password + QLatin1Char(';'));
}

QString Monitor::historyEntry(const QString &code, const QString &data)
{
    return code + QStringLiteral("->") + data;
}

void Monitor::splitHistoryEntry(const QString &entry, QString &code, QString &data)
{
    code = entry.left(2);
    data = entry.mid(4);
}

QStringList Monitor::recentScripts() const
{
    return m_app.config().recentFiles();
}

Prompter::FileRequest Monitor::scriptFileRequest()
{
    Prompter::FileRequest r;
    r.caption = QStringLiteral("Открыть файл");
    r.filter = kFileFilter;
    r.defaultExtension = QStringLiteral("txt");
    r.initialFolder = QDir::currentPath();
    return r;
}

QString Monitor::openScript(QStringList &listed)
{
    const QString path = m_app.prompter().openFile(scriptFileRequest());
    if (path.isEmpty())
        return QString();
    m_script = path;
    m_app.config().addRecentFile(path);
    listed = recentScripts();
    // A name the settings file could not keep (too long, or the file is read-only) still
    // stands first, so the list shows the script that will run.
    if (listed.value(0) != path) {
        listed.removeAll(path);
        listed.prepend(path);
    }
    return path;
}
