#include "tools/firmware_readout.h"

#include "app/application.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"

#include <QFile>

using transfer::End;
using transfer::Result;

FirmwareReadout::FirmwareReadout(Application &app) : m_app(app) {}

FirmwareReadout::Decoded FirmwareReadout::decodePacket(const QByteArray &text, QByteArray &out, int capacity)
{
    out.clear();
    out.reserve(qMin<qsizetype>(text.size(), capacity));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            if (++i == text.size())
                return Decoded::DanglingEscape;
            c = char(quint8(text[i]) - 0x40);
        }
        if (out.size() == capacity)
            return Decoded::TooLong;
        out.append(c);
    }
    return Decoded::Ok;
}

Result FirmwareReadout::stop(End end, const QString &message, const Verdict &verdict, qint64 bytes)
{
    return transfer::finish(m_app.prompter(), end, message, verdict, bytes);
}

Result FirmwareReadout::read(const QString &password, transfer::View &view)
{
    Prompter::FileRequest request;
    request.caption = QStringLiteral("Сохранить внутреннее ПО");
    request.filter = kFilter;
    request.defaultExtension = QStringLiteral("HEX");
    const QString path = m_app.prompter().saveFile(request);
    if (path.isEmpty())
        return {End::Cancelled, {}, 0};

    const CommandResult *r = m_app.execute(SetDataSource, password, kSoftwareSource, 0);
    Verdict v = Verdict::of(*r);
    if (!v.ok())
        return stop(v.linkFailed() ? End::LinkFailed : End::RegistrarError, kSourceFailed + v.message, v);
    qint64 size = 0;
    if (!transfer::decimal(QString::fromLatin1(r->field(0)), 12, size))
        return stop(End::BadData, kBadData, v);
    view.progress(0, size);
    view.reply(ReplyTexts::of(*r));
    if (size == 0)
        return stop(End::Incomplete, kNoData, v);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return stop(End::FileFailed, kFileCreate.arg(path), v);

    qint64 received = 0;
    QByteArray bytes;
    for (qint64 packet = 0;; ++packet) {
        view.processEvents();
        if (view.stopRequested()) {
            view.progress(0, size);
            return stop(End::Stopped, kStopped, v, received);
        }
        r = m_app.execute(ReadDataFromBuf, password);
        v = Verdict::of(*r);
        if (!v.ok()) {
            view.progress(0, size);
            return stop(v.linkFailed() ? End::LinkFailed : End::RegistrarError, kPacketFailed + v.message, v,
                        received);
        }
        view.reply(ReplyTexts::of(*r));
        qint64 number = -1;
        if (!transfer::decimal(QString::fromLatin1(r->field(0)), 12, number) || number != packet) {
            view.progress(0, size);
            return stop(End::BadData, kPacketNumber, v, received);
        }
        const QByteArray text = r->field(1);
        if (text.isEmpty()) {
            view.progress(0, size);
            file.close();
            if (file.error() != QFileDevice::NoError)
                return stop(End::FileFailed, kFileWrite.arg(path), v, received);
            if (received < size)
                return stop(End::Incomplete, kIncomplete.arg(received).arg(size), v, received);
            return stop(End::Done, kDone, v, received);
        }
        switch (decodePacket(text, bytes)) {
        case Decoded::Ok:
            break;
        case Decoded::TooLong:
            view.progress(0, size);
            return stop(End::BadData, kPacketTooLong, v, received);
        case Decoded::DanglingEscape:
            view.progress(0, size);
            return stop(End::BadData, kBadData, v, received);
        }
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            view.progress(0, size);
            return stop(End::FileFailed, kFileWrite.arg(path), v, received);
        }
        received += bytes.size();
        view.progress(qMin(received, size), size);
    }
}
