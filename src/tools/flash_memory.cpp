#include "tools/flash_memory.h"

#include "app/application.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/code_page.h"
#include "link/command_result.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <memory>

using transfer::End;
using transfer::Result;

namespace {

Prompter::FileRequest dumpFileRequest(const QString &caption)
{
    Prompter::FileRequest r;
    r.caption = caption;
    r.filter = FlashMemory::kFilter;
    r.defaultExtension = QStringLiteral("bin");
    return r;
}

bool hexDigit(char c, int &value)
{
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    else
        return false;
    return true;
}

// The dump file of a read. A regular file (or none yet) is written through a temporary
// file beside it, which replaces it only when finish() says so; anything else (a device,
// a pipe) cannot be replaced and is written directly, as it comes.
class DumpFile {
public:
    explicit DumpFile(const QString &path) : m_existed(QFileInfo::exists(path))
    {
        if (m_existed && !QFileInfo(path).isFile()) {
            m_direct = std::make_unique<QFile>(path);
        } else {
            m_save = std::make_unique<QSaveFile>(path);
            m_save->setDirectWriteFallback(false);
        }
    }
    bool open()
    {
        return m_direct ? m_direct->open(QIODevice::WriteOnly | QIODevice::Truncate) : m_save->open(QIODevice::WriteOnly);
    }
    bool write(const QByteArray &bytes)
    {
        if (m_direct)
            return m_direct->write(bytes) == bytes.size() && m_direct->flush();
        return m_save->write(bytes) == bytes.size();
    }
    // The bytes written become the file: a complete read, or a partial one where no file
    // would be lost. False when the file could not be written or put in place.
    bool finish(bool complete, qint64 received)
    {
        if (m_direct) {
            m_direct->close();
            return m_direct->error() == QFileDevice::NoError;
        }
        if (received > 0 && (complete || !m_existed))
            return m_save->commit();
        m_save->cancelWriting(); // the temporary file goes with the object, the old file stays
        return true;
    }

private:
    bool m_existed;
    std::unique_ptr<QFile> m_direct;
    std::unique_ptr<QSaveFile> m_save;
};

} // namespace

FlashMemory::FlashMemory(Application &app) : m_app(app) {}

Result FlashMemory::stop(End end, const QString &message, const Verdict &verdict, qint64 bytes)
{
    return transfer::finish(m_app.prompter(), end, message, verdict, bytes);
}

bool FlashMemory::checkBounds(const QString &address, const QString &count, qint64 &a, qint64 &n)
{
    if (transfer::decimal(address, kAddressDigits, a) && transfer::decimal(count, kCountDigits, n))
        return true;
    m_app.prompter().showMessage(kDecimalOnly);
    return false;
}

bool FlashMemory::checkPassword(const QString &password, Result &refusal)
{
    const int code = param_format::textRefusal(password);
    if (code == 0)
        return true;
    const QString message = wrapper_codes::refusalMessage(code);
    m_app.prompter().showMessage(message);
    refusal = {End::Refused, Verdict::refused(code, message), 0};
    return false;
}

bool FlashMemory::checkBoundTyped(const QString &text, int digits)
{
    qint64 unused = 0;
    if (transfer::decimal(text, digits, unused))
        return true;
    m_app.prompter().showMessage(kDecimalOnly);
    return false;
}

bool FlashMemory::boundsFromName(const QString &path, QString &address, QString &count)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const int last = name.lastIndexOf(QLatin1Char('_'), dot);
    if (last < 0)
        return false;
    const int first = last > 0 ? name.lastIndexOf(QLatin1Char('_'), last - 1) : -1;
    if (first < 0)
        return false;
    const QString a = name.mid(first + 1, last - first - 1);
    const QString n = name.mid(last + 1, dot - last - 1);
    qint64 unused = 0;
    if (!transfer::decimal(a, kAddressDigits, unused) || !transfer::decimal(n, kCountDigits, unused))
        return false;
    address = a;
    count = n;
    return true;
}

bool FlashMemory::decodeBlock(const QByteArray &text, qint64 bytes, QByteArray &out)
{
    if (bytes < 0 || text.size() < 2 * bytes)
        return false;
    QByteArray decoded(bytes, Qt::Uninitialized);
    for (qint64 i = 0; i < bytes; ++i) {
        int high = 0, low = 0;
        if (!hexDigit(text[2 * i], high) || !hexDigit(text[2 * i + 1], low))
            return false;
        decoded[i] = char(high * 16 + low);
    }
    out = decoded;
    return true;
}

Result FlashMemory::erase(const QString &password, View &view, const std::function<void()> &agreed)
{
    Result refusal;
    if (!checkPassword(password, refusal))
        return refusal;
    if (m_app.prompter().askWithDefault(kEraseQuestion, kCaption, Prompter::Ok | Prompter::Cancel, Prompter::Cancel)
        != Prompter::Ok)
        return stop(End::Cancelled, kEraseCancelled);
    if (agreed)
        agreed();
    const CommandResult *r = m_app.execute(cmd::EraseFlash, code_page::toDevice(password) + ';');
    const Verdict v = Verdict::of(*r);
    if (v.replied())
        view.reply(ReplyTexts::of(*r));
    if (v.ok())
        return stop(End::Done, kSuccess, v);
    return stop(v.linkFailed() ? End::LinkFailed : End::RegistrarError, kEraseFailed + v.message, v);
}

Result FlashMemory::read(const QString &password, const QString &addressText, const QString &countText, int retries,
                         View &view)
{
    qint64 first = 0, count = 0;
    if (!checkBounds(addressText, countText, first, count))
        return {End::Refused, Verdict::refused(0, kDecimalOnly), 0};
    Result refusal;
    if (!checkPassword(password, refusal))
        return refusal;
    const int retryStart = m_app.link().RetryCount();

    const QString path = m_app.prompter().saveFile(dumpFileRequest(QStringLiteral("Сохранить дамп флеш-памяти")));
    if (path.isEmpty())
        return {End::Cancelled, {}, 0};
    if (m_app.prompter().ask(kReadQuestion, kCaption, Prompter::Ok | Prompter::Cancel) != Prompter::Ok)
        return stop(End::Cancelled, kReadCancelled);

    DumpFile file(path);
    if (!file.open())
        return stop(End::FileFailed, kFileCreate.arg(path));

    const QByteArray prefix = code_page::toDevice(password) + ';';
    const qint64 end = first + count;
    qint64 address = first;
    qint64 remaining = count;
    qint64 received = 0;
    int repeatedTotal = 0;
    // A read that ends early keeps what came only where that loses no file.
    auto stopPartial = [&](End why, const QString &message, const Verdict &v) {
        file.finish(false, received);
        return stop(why, message, v, received);
    };
    view.address(address);
    view.progress(0, 100);
    while (address < end) {
        const CommandResult *r = nullptr;
        Verdict v;
        for (int repeated = 0;; ++repeated) {
            r = m_app.execute(cmd::ReadFlash, prefix + QByteArray::number(address) + ';');
            v = Verdict::of(*r);
            view.repetitions(m_app.link().RetryCount() - retryStart + repeatedTotal);
            if (v.kind == Verdict::Kind::NoReply)
                return stopPartial(End::LinkFailed, kReadTimeout, v);
            if (v.replied())
                view.reply(ReplyTexts::of(*r));
            if (v.ok())
                break;
            if (repeated >= retries) {
                const QString word = v.replied() ? code_page::fromDevice(r->errorWord) : v.message;
                return stopPartial(v.linkFailed() ? End::LinkFailed : End::RegistrarError, kReadFailed + word, v);
            }
            ++repeatedTotal;
            view.repetitions(m_app.link().RetryCount() - retryStart + repeatedTotal);
        }

        qint64 size = 0;
        QByteArray bytes;
        if (!transfer::decimal(QString::fromLatin1(r->field(0)), kCountDigits, size)
            || !decodeBlock(r->field(1), qMin(size, remaining), bytes))
            return stopPartial(End::BadData, kBadData, v);
        if (size == 0 && address == first) {
            // The whole range lies past the end of the registrar's memory.
            const QString message = kPastTheEnd.arg(first);
            return stopPartial(End::Refused, message, Verdict::refused(0, message));
        }
        if (!file.write(bytes))
            return stopPartial(End::FileFailed, kFileWrite.arg(path), v);
        received += bytes.size();
        if (size < kBlock)
            break; // the end of the registrar's memory
        remaining -= bytes.size();
        address += size;
        view.address(address);
        view.progress(transfer::percent(address - first, count), 100);
        view.processEvents();
        if (view.stopRequested())
            return stopPartial(End::Stopped, kReadStopped, v);
    }
    view.progress(100, 100);
    if (!file.finish(true, received))
        return stop(End::FileFailed, kFileWrite.arg(path), {}, received);
    return stop(End::Done, kReadDone, {}, received);
}

Result FlashMemory::write(const QString &password, const QString &addressText, const QString &countText, View &view,
                          bool boundsFromTheName)
{
    const QString path = m_app.prompter().openFile(dumpFileRequest(QStringLiteral("Открыть дамп флеш-памяти")));
    if (path.isEmpty())
        return {End::Cancelled, {}, 0};
    QString addressField = addressText, countField = countText;
    if (boundsFromTheName && boundsFromName(path, addressField, countField))
        view.bounds(addressField, countField);
    if (addressField.isEmpty() || countField.isEmpty())
        return stop(End::Refused, kNoBounds, Verdict::refused(0, kNoBounds));
    qint64 first = 0, count = 0;
    if (!checkBounds(addressField, countField, first, count))
        return {End::Refused, Verdict::refused(0, kDecimalOnly), 0};
    Result refusal;
    if (!checkPassword(password, refusal))
        return refusal;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return stop(End::FileFailed, kFileOpen.arg(path));
    // A file that ends before the count would leave the flash half written.
    if (file.size() < count) {
        const QString message = kFileTooShort.arg(file.size()).arg(count);
        return stop(End::Refused, message, Verdict::refused(0, message));
    }
    const QString question = kWriteQuestion + QStringLiteral("\nАдрес начала: %1, количество байтов: %2 (до адреса %3).")
                                                  .arg(first)
                                                  .arg(count)
                                                  .arg(first + count - 1);
    if (m_app.prompter().ask(question, kCaption, Prompter::Ok | Prompter::Cancel) != Prompter::Ok)
        return stop(End::Cancelled, kWriteCancelled);

    const QByteArray prefix = code_page::toDevice(password) + ';';
    const qint64 end = first + count;
    qint64 address = first;
    view.address(address);
    view.progress(0, 100);
    Verdict v;
    while (address < end) {
        const qint64 n = qMin<qint64>(kBlock, end - address);
        const QByteArray bytes = file.read(n);
        if (bytes.size() != n)
            return stop(End::FileFailed, kUnexpectedEnd, v, address - first);
        const CommandResult *r = m_app.execute(cmd::WriteFlash, prefix + QByteArray::number(address) + ';'
                                                                    + QByteArray::number(n) + ';'
                                                                    + bytes.toHex().toUpper() + ';');
        v = Verdict::of(*r);
        if (v.replied())
            view.reply(ReplyTexts::of(*r));
        if (!v.ok())
            return stop(v.linkFailed() ? End::LinkFailed : End::RegistrarError, kWriteError + v.message, v,
                        address - first);
        if (r->errorWord != "0000")
            return stop(End::RegistrarError, kWriteWordError, v, address - first);
        address += n;
        view.address(address);
        view.progress(transfer::percent(address - first, count), 100);
        view.processEvents();
        if (view.stopRequested())
            return stop(End::Stopped, kWriteStopped, v, address - first);
    }
    return stop(End::Done, kWriteDone, v, count);
}
