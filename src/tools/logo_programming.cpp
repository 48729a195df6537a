#include "tools/logo_programming.h"

#include "app/application.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"

#include <optional>

using transfer::End;
using transfer::Result;

LogoProgramming::LogoProgramming(Application &app) : m_app(app) {}

Result LogoProgramming::fail(End end, const QString &message, const Verdict &verdict)
{
    return transfer::finish(m_app.prompter(), end, message, verdict);
}

Outcome<LogoProgramming::Maxima> LogoProgramming::readMaxima(const QString &password)
{
    m_maxima = {};
    int code = 0;
    const CommandResult *r = m_app.execute(getDiagnosticInfo, password, code);
    if (code < 0) {
        const QString message = wrapper_codes::refusalMessage(code);
        m_app.prompter().showMessage(message);
        return {Verdict::refused(code, message), m_maxima};
    }
    Outcome<Maxima> out{Verdict::of(*r), {}};
    if (out.verdict.kind == Verdict::Kind::NoReply) {
        m_app.prompter().showMessage(kTimeout);
        return out;
    }
    if (!out.ok()) {
        m_app.prompter().showMessage(out.verdict.message);
        return out;
    }
    bool memoryOk = false, widthOk = false;
    const qint64 memory = r->field(6).toLongLong(&memoryOk);
    const qint64 width = r->field(7).toLongLong(&widthOk);
    if (!memoryOk || !widthOk || memory < 0 || width < 0 || width > 1 << 20 || memory > 1 << 28) {
        m_app.prompter().showMessage(kBadReply);
        return out;
    }
    m_maxima.width = int(width);
    if (width == 0) {
        m_app.prompter().showMessage(kZeroWidth);
        out.shown = m_maxima;
        return out;
    }
    m_maxima.height = int(memory * 8 / width);
    out.shown = m_maxima;
    return out;
}

bool LogoProgramming::openPicture()
{
    Prompter::FileRequest request;
    request.caption = QStringLiteral("Открыть");
    request.filter = kFilter;
    request.defaultExtension = QStringLiteral("bmp");
    const QString path = m_app.prompter().openFile(request);
    return !path.isEmpty() && loadPicture(path);
}

bool LogoProgramming::loadPicture(const QString &path)
{
    QImage picture(path);
    if (picture.isNull()) {
        m_app.prompter().showMessage(kNoPicture.arg(path));
        return false;
    }
    m_picture = picture;
    return true;
}

QSize LogoProgramming::sizeToSend() const
{
    QSize s = m_picture.size();
    if (m_maxima.width >= 0)
        s.setWidth(qMin(s.width(), m_maxima.width));
    if (m_maxima.height >= 0)
        s.setHeight(qMin(s.height(), m_maxima.height));
    return s;
}

QByteArray LogoProgramming::logoBytes(const QImage &picture, int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    const int rowBytes = (width + 7) / 8;
    QByteArray out(qsizetype(rowBytes) * height, '\0');
    const bool inside = !picture.isNull();
    for (int y = 0; y < height; ++y) {
        char *row = out.data() + qsizetype(y) * rowBytes;
        for (int x = 0; x < width; ++x) {
            const bool white = inside && x < picture.width() && y < picture.height()
                               && (picture.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
            if (!white)
                row[x / 8] = char(quint8(row[x / 8]) | (0x80 >> (x % 8)));
        }
    }
    return out;
}

QList<QString> LogoProgramming::logoLines(const QByteArray &bytes)
{
    QList<QString> lines;
    for (qsizetype at = 0; at < bytes.size(); at += kLineBytes) {
        QByteArray line = bytes.mid(at, kLineBytes);
        line.append(kLineBytes - line.size(), '\0');
        lines.append(QString::fromLatin1(line.toHex().toUpper()));
    }
    return lines;
}

Result LogoProgramming::program(const QString &password, const QString &widthText, const QString &heightText,
                                QSize &sent, transfer::View &view)
{
    qint64 w = 0, h = 0;
    if (!transfer::decimal(widthText.trimmed(), 9, w) || !transfer::decimal(heightText.trimmed(), 9, h) || w < 1
        || h < 1)
        return fail(End::Refused, kBadSize, Verdict::refused(0, kBadSize));
    if (!m_maxima.known())
        return fail(End::Refused, kNoMaxima, Verdict::refused(0, kNoMaxima));
    if (const int refusal = param_format::textRefusal(password); refusal != 0) {
        const QString message = wrapper_codes::refusalMessage(refusal);
        return fail(End::Refused, message, Verdict::refused(refusal, message));
    }
    // More than the registrar holds would be cut off or refused after the lines went: the
    // size is cut to its maximum, and the user is told so before anything goes.
    const QSize fitting(int(qMin<qint64>(w, m_maxima.width)), int(qMin<qint64>(h, m_maxima.height)));
    if (fitting.width() != w || fitting.height() != h) {
        const QString question = kClampQuestion.arg(w).arg(h).arg(m_maxima.width).arg(m_maxima.height)
                                     .arg(fitting.width()).arg(fitting.height());
        if (m_app.prompter().ask(question, kCaption, Prompter::Ok | Prompter::Cancel) != Prompter::Ok)
            return fail(End::Cancelled, QString());
    }
    sent = fitting;

    const QList<QString> lines = logoLines(logoBytes(m_picture, sent.width(), sent.height()));
    const qint64 maximum = qint64(sent.width()) * sent.height() / 8;
    qint64 value = 0;
    view.progress(0, maximum);
    auto judge = [&](const CommandResult *r, int code) -> std::optional<Result> {
        if (code < 0) {
            const QString message = wrapper_codes::refusalMessage(code);
            return fail(End::Refused, message, Verdict::refused(code, message));
        }
        const Verdict v = Verdict::of(*r);
        if (v.replied())
            view.reply(ReplyTexts::of(*r));
        if (v.kind == Verdict::Kind::NoReply)
            return fail(End::LinkFailed, kTimeout, v);
        if (!v.ok())
            return fail(v.linkFailed() ? End::LinkFailed : End::RegistrarError, kWriteFailed, v);
        return std::nullopt;
    };
    for (int i = 0; i < lines.size(); ++i) {
        int code = 0;
        const CommandResult *r = m_app.execute(SetUserLogo, password, i, lines[i], code);
        if (auto failed = judge(r, code))
            return *failed;
        value = qMin(value + kLineBytes, maximum);
        view.progress(value, maximum);
        view.processEvents();
    }
    const CommandResult *r = m_app.execute(cmd::LogoData, code_page::toDevice(password) + ';'
                                                              + QByteArray::number(sent.width()) + ';'
                                                              + QByteArray::number(sent.height()) + ';');
    if (auto failed = judge(r, 0))
        return *failed;
    m_app.prompter().showMessage(kSuccess);
    view.progress(0, maximum);
    return {End::Done, Verdict::of(*r), qint64(lines.size()) * kLineBytes};
}
