#include "scripts/command_test.h"

#include "app/application.h"
#include "commands/command_codes.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "scripts/monitor.h"

CommandTest::CommandTest(Application &app) : m_app(app) {}

Outcome<ReplyTexts> CommandTest::refuse(const QString &message)
{
    m_app.prompter().showMessage(message);
    return {Verdict::refused(0, message), {}};
}

Outcome<ReplyTexts> CommandTest::execute(const QString &code, const QString &password, const QString &commandLine)
{
    const int c = console::parseCode(code);
    if (c < 0)
        return refuse(kBadCode);
    if (!cmd::sendable(c))
        return refuse(console::kCodeOutOfRange);
    QByteArray line = code_page::toDevice(commandLine);
    if (c == cmd::PrintBarcode && !console::barcodeData(code_page::toDevice(commandLine), line))
        return refuse(console::kNoClosingSeparator);

    const bool attached = m_app.link().activeTransport() != nullptr;
    const CommandResult *r = m_app.execute(c, code_page::toDevice(password) + ';' + line);
    Outcome<ReplyTexts> out{Verdict::of(*r), {}};
    // After a failed exchange the record holds the previous reply's error word and data,
    // or a reply that did not arrive intact; showing them would pass a lost command off
    // as done. Without a device the link has already said so.
    if (out.verdict.linkFailed()) {
        if (attached)
            m_app.prompter().showMessage(console::failureMessage(out.verdict));
        return out;
    }
    out.shown = ReplyTexts::of(*r);
    return out;
}
