#include "scripts/command_test.h"

#include "app/application.h"
#include "app/step_runner.h"
#include "commands/command_codes.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "scripts/monitor.h"

CommandTest::CommandTest(Application &app) : m_app(app) {}

Outcome<ReplyTexts> CommandTest::execute(const QString &code, const QString &password, const QString &commandLine)
{
    StepRunner steps(m_app);
    const int c = console::parseCode(code);
    QByteArray line = code_page::toDevice(commandLine);
    if (c < 0)
        steps.refuse(kBadCode);
    else if (!cmd::sendable(c))
        steps.refuse(console::kCodeOutOfRange);
    else if (c == cmd::PrintBarcode && !console::barcodeData(code_page::toDevice(commandLine), line))
        steps.refuse(console::kNoClosingSeparator);
    if (steps.failed())
        return steps.replyOutcome();

    const bool attached = m_app.link().activeTransport() != nullptr;
    // A registrar error is said by "Код ошибки:" alone. After a failed exchange the record
    // holds the previous reply's error word and data, or a reply that did not arrive
    // intact; showing them would pass a lost command off as done. Without a device the
    // link has already said so.
    StepTexts texts;
    texts.quiet = true;
    if (!steps.judge(m_app.execute(c, code_page::toDevice(password) + ';' + line), texts)
        && steps.verdict().linkFailed() && attached)
        m_app.prompter().showMessage(console::failureMessage(steps.verdict()));
    return steps.replyOutcome();
}
