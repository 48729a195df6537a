#include "scripts/command_test.h"

#include "app/application.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "scripts/monitor.h"

CommandTest::CommandTest(Application &app) : m_app(app) {}

CommandTest::Outcome CommandTest::execute(const QString &code, const QString &password, const QString &commandLine)
{
    Outcome out;
    const int c = console::parseCode(code);
    if (c < 0) {
        m_app.prompter().showMessage(kBadCode);
        return out;
    }
    if (!console::codeInRange(c)) {
        m_app.prompter().showMessage(console::kCodeOutOfRange);
        return out;
    }
    QByteArray line = code_page::toDevice(commandLine);
    if (c == console::kBarcodeCommand && !console::barcodeData(code_page::toDevice(commandLine), line)) {
        m_app.prompter().showMessage(console::kNoClosingSeparator);
        return out;
    }
    const bool attached = m_app.link().activeTransport() != nullptr;
    const CommandResult *r = m_app.execute(c, code_page::toDevice(password) + ';' + line);
    out.sent = true;
    // After a failed exchange the record holds the previous reply's error word and data,
    // or a reply that did not arrive intact; showing them would pass a lost command off
    // as done.
    const console::Verdict verdict = console::judgeReply(*r);
    if (console::linkFailure(verdict)) {
        if (attached)
            m_app.prompter().showMessage(console::failureMessage(verdict));
        return out;
    }
    out.replied = true;
    out.data = code_page::fromDevice(r->data);
    out.errorWord = code_page::fromDevice(r->errorWord);
    out.statusText = r->statusText();
    return out;
}
