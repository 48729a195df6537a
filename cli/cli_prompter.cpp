#include "cli/cli_prompter.h"

#include "cli/output.h"

namespace cli {

void CliPrompter::write(const QString &text)
{
    printLine(m_err, text);
}

void CliPrompter::showMessage(const QString &text, const QString &caption, Icon)
{
    write(caption.isEmpty() ? text : caption + QStringLiteral(": ") + text);
}

Prompter::Button CliPrompter::ask(const QString &text, const QString &caption, int buttons, Icon)
{
    Button answer = Cancel;
    for (Button b : {Ok, Yes, No, Cancel})
        if (buttons & b) {
            answer = b;
            break;
        }
    const char *word = answer == Ok ? "OK" : answer == Yes ? "Yes" : answer == No ? "No" : "Cancel";
    write((caption.isEmpty() ? text : caption + QStringLiteral(": ") + text) + QStringLiteral(" [")
          + QLatin1String(word) + QStringLiteral("]"));
    return answer;
}

QString CliPrompter::openFile(const FileRequest &)
{
    return QString();
}

QString CliPrompter::saveFile(const FileRequest &)
{
    return QString();
}

QString CliPrompter::chooseFolder(const QString &, const QString &)
{
    return QString();
}

} // namespace cli
