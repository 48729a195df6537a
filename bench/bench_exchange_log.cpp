// Reading a large exchange log: a log of real exchanges with the emulator (every fifth
// one failing) copied out to the size asked for, then read record by record as the
// viewer's first pass and its search do. Prints figures; never fails.
#include "commands/exchange_log_reader.h"
#include "emulator/registrar.h"
#include "tools/exchange_log_model.h"
#include "link/device_link.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <deque>

namespace {

// The emulator in this process, its reply handed over at once.
class DirectTransport final : public Transport {
public:
    explicit DirectTransport(emu::Registrar &r) : m_registrar(r) {}
    Kind kind() const override { return Kind::Serial; }
    bool sendFrame(const QByteArray &frame) override
    {
        m_pending.clear();
        for (const emu::Chunk &c : m_registrar.receive(frame))
            m_pending.insert(m_pending.end(), c.bytes.begin(), c.bytes.end());
        return true;
    }
    Read readByte(quint8 &b) override
    {
        if (m_pending.empty())
            return Read::None;
        b = quint8(m_pending.front());
        m_pending.pop_front();
        return Read::Byte;
    }
    void purge() override { m_pending.clear(); }

private:
    emu::Registrar &m_registrar;
    std::deque<char> m_pending;
};

QByteArray sampleLog(const QString &folder)
{
    const QString old = QDir::currentPath();
    QDir::setCurrent(folder);
    VirtualClock clock;
    emu::Registrar registrar;
    DeviceLink link(clock);
    link.attachTransport(std::make_unique<DirectTransport>(registrar));
    link.Log().SetLogFileName(QStringLiteral("sample.log"));
    link.SetReplyCount(0);
    link.Log().writeSessionStart();
    for (int i = 0; i < 200; ++i) {
        if (i % 5 == 4)
            registrar.injectFault({emu::Fault::Refuse, 0x0B, 2});
        link.ExecuteCommand(i % 2 ? 0x21 : 0x28, "482913;");
    }
    QFile f(QStringLiteral("sample.log"));
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    QDir::setCurrent(old);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? atoll(argv[1]) : 100;
    QTemporaryDir dir;
    const QByteArray sample = sampleLog(dir.path());
    const QString path = dir.filePath(QStringLiteral("big.log"));
    {
        QFile big(path);
        big.open(QIODevice::WriteOnly);
        while (big.size() < megabytes * 1024 * 1024)
            big.write(sample);
    }
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const double mb = file.size() / 1048576.0;

    QElapsedTimer t;
    t.start();
    ExchangeLogReader reader(file);
    LoggedExchange x;
    qint64 records = 0;
    qint64 failed = 0;
    while (reader.next(x)) {
        ++records;
        failed += x.failed() ? 1 : 0;
    }
    const double readSecs = t.nsecsElapsed() / 1e9;

    // The search: every record's texts, case-insensitive.
    file.seek(0);
    ExchangeLogReader again(file);
    t.restart();
    qint64 hits = 0;
    while (again.next(x))
        hits += x.searchText().contains(QStringLiteral("продаж"), Qt::CaseInsensitive) ? 1 : 0;
    const double searchSecs = t.nsecsElapsed() / 1e9;

    // The viewer's own model: opening (the index) and a search typed into its box.
    ExchangeLogModel model;
    QString error;
    t.restart();
    model.open(path, error);
    const double modelOpenSecs = t.nsecsElapsed() / 1e9;
    t.restart();
    model.setSearchText(QStringLiteral("продаж"));
    const double modelSearchSecs = t.nsecsElapsed() / 1e9;

    std::printf("log: %.1f MB, %lld exchanges (%lld failed)\n", mb, records, failed);
    std::printf("viewer model: open %.2f s, search %.2f s (%d rows)\n", modelOpenSecs, modelSearchSecs,
                model.rowCount());
    std::printf("first pass (the viewer's index): %.2f s, %.0f exchanges/s, %.1f MB/s\n", readSecs, records / readSecs,
                mb / readSecs);
    std::printf("search pass: %.2f s, %.0f exchanges/s (%lld hits)\n", searchSecs, records / searchSecs, hits);
    std::printf("viewer index: about %.1f MB for this log (one small entry per exchange)\n",
                records * 24 / 1048576.0);
    return 0;
}
