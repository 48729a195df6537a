#include "cli/output.h"

#include "commands/verdict.h"

namespace cli {

void printText(FILE *f, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
    std::fflush(f);
}

void printLine(FILE *f, const QString &text)
{
    printText(f, text.toUtf8() + '\n');
}

int fail(FILE *err, int status, const QString &text)
{
    printLine(err, QStringLiteral("dizivu-cli: ") + text);
    return status;
}

QString errorValue(const Verdict &v)
{
    switch (v.kind) {
    case Verdict::Kind::Success:
        // No word: the reply was lost, and the registrar's state showed the command done.
        return v.errorWord.isEmpty() ? QStringLiteral("settled") : v.errorWordText();
    case Verdict::Kind::RegistrarError:
        return v.errorWordText();
    case Verdict::Kind::NoReply:
        return QStringLiteral("no-reply");
    case Verdict::Kind::Nak:
        return QStringLiteral("nak");
    case Verdict::Kind::ChecksumMismatch:
        return QStringLiteral("check-mismatch");
    case Verdict::Kind::Refused:
        break;
    }
    return QStringLiteral("refused");
}

void printError(FILE *out, const QString &key, const Verdict &verdict)
{
    printLine(out, key + QLatin1Char('=') + errorValue(verdict));
}

} // namespace cli
