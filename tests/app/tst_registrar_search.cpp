// The registrar search against registrar-emulator children and silent pseudo-terminals.
#include "app/registrar_search.h"
#include "support/emulator_process.h"
#include "support/silent_port.h"

#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// What the emulator carried out, one line per command.
QStringList journal(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class RegistrarSearchTest : public QObject {
    Q_OBJECT

private slots:
    void theFirstRegistrarInListOrderWinsAndTheVirtualPortComesFirst()
    {
        SilentPort silent;
        EmulatorProcess first({QStringLiteral("--model"), QStringLiteral("Korvan KV-44")});
        EmulatorProcess second({QStringLiteral("--model"), QStringLiteral("Korvan KM-1")});
        QVERIFY(!first.path().isEmpty() && !second.path().isEmpty() && !silent.path().isEmpty());

        // A silent port before the registrar costs its wait, not the search.
        RegistrarSearch search;
        RegistrarSearch::Result r = search.run({silent.path(), first.path(), second.path()},
                                               RegistrarSearch::defaultSpeeds());
        QVERIFY(r.found);
        QCOMPARE(r.registrar.port, first.path());
        QCOMPARE(r.registrar.speed, 115200);
        QCOMPARE(r.registrar.model, QStringLiteral("Korvan KV-44"));
        QCOMPARE(r.registrar.serial, QStringLiteral("ЗН 4100012345"));
        QCOMPARE(r.registrar.errorWord, QByteArray("0000"));
        QVERIFY(r.unopened.isEmpty());

        // The registrar's virtual COM port is tried first, wherever the system lists it.
        const QStringList ordered =
            RegistrarSearch::registrarFirst({silent.path(), first.path(), second.path()}, second.path());
        QCOMPARE(ordered.first(), second.path());
        r = search.run(ordered, RegistrarSearch::defaultSpeeds());
        QCOMPARE(r.registrar.port, second.path());
        QCOMPARE(r.registrar.model, QStringLiteral("Korvan KM-1"));
    }

    void findsTheSpeedTheRegistrarIsSetToWithOneCommandCarriedOut()
    {
        QTemporaryDir dir;
        const QString carriedOut = dir.filePath(QStringLiteral("journal"));
        EmulatorProcess registrar({QStringLiteral("--line-speed"), QStringLiteral("19200"),
                                   QStringLiteral("--journal"), carriedOut});
        QVERIFY(!registrar.path().isEmpty());

        QList<qint32> announced;
        RegistrarSearch search;
        search.setProgress([&](const RegistrarSearch::Step &s) { announced << s.speed; });
        const RegistrarSearch::Result r = search.run({registrar.path()}, RegistrarSearch::defaultSpeeds());
        QVERIFY(r.found);
        QCOMPARE(r.registrar.speed, 19200);
        // The most common speeds first; the search stops at the one that answered.
        QCOMPARE(announced, (QList<qint32>{115200, 9600, 57600, 38400, 19200}));
        // Requests at the wrong speeds are noise to the registrar; the one it understood
        // is the harmless identification, carried out once.
        QTRY_COMPARE(journal(carriedOut).size(), 1);
        QVERIFY(journal(carriedOut).first().startsWith(QLatin1String("80\t0000\t")));

        // Without its speed in the list it is not found.
        const RegistrarSearch::Result none = search.run({registrar.path()}, {115200, 9600});
        QVERIFY(!none.found);
        QCOMPARE(none.tried, QStringList{registrar.path()});
    }

    void aSpoiltReplyIsNotARegistrar()
    {
        // A reply whose check characters are wrong at one speed; a sound one at the next.
        EmulatorProcess registrar({QStringLiteral("--fault"), QStringLiteral("badcheck")});
        QVERIFY(!registrar.path().isEmpty());
        RegistrarSearch search;
        const RegistrarSearch::Result r = search.run({registrar.path()}, {115200, 9600});
        QVERIFY(r.found);
        QCOMPARE(r.registrar.speed, 9600);
    }

    void portsThatCannotBeOpenedAreReportedAndTheRestSearched()
    {
        EmulatorProcess held;
        EmulatorProcess free;
        QVERIFY(!held.path().isEmpty() && !free.path().isEmpty());
        QSerialPort other;
        other.setPortName(held.path());
        QVERIFY(other.open(QIODevice::ReadWrite));

        const QString missing = QStringLiteral("/dev/ttyDIZIVU-none");
        RegistrarSearch search;
        const RegistrarSearch::Result r = search.run({missing, held.path(), free.path()}, {115200});
        QVERIFY(r.found);
        QCOMPARE(r.registrar.port, free.path());
        QCOMPARE(r.unopened.size(), 2);
        QCOMPARE(r.unopened[0].port, missing);
        QCOMPARE(r.unopened[0].reason, QStringLiteral("Порт %1 не найден.").arg(missing));
        QCOMPARE(r.unopened[1].port, held.path());
        QCOMPARE(r.unopened[1].reason, QStringLiteral("Порт %1 занят другой программой.").arg(held.path()));
        other.close();
    }

    void cancelEndsTheSearchAndLeavesEveryPortClosed()
    {
        std::vector<std::unique_ptr<SilentPort>> silent;
        QStringList ports;
        for (int i = 0; i < 3; ++i) {
            silent.push_back(std::make_unique<SilentPort>());
            ports << silent.back()->path();
        }
        std::atomic<bool> cancel{false};
        QList<qint32> announced;
        RegistrarSearch search;
        search.setCancelFlag(&cancel);
        search.setProgress([&](const RegistrarSearch::Step &s) { announced << s.speed; });
        // The user stops the search while the second speed waits.
        search.setIdle([&] {
            if (announced.size() == 2)
                cancel.store(true);
        });
        const RegistrarSearch::Result r = search.run(ports, RegistrarSearch::defaultSpeeds());
        QVERIFY(r.cancelled);
        QVERIFY(!r.found);
        QCOMPARE(announced, (QList<qint32>{115200, 9600}));
        // Closed, and unlocked for the next program.
        for (const QString &p : ports) {
            QSerialPort again;
            again.setPortName(p);
            QVERIFY2(again.open(QIODevice::ReadWrite), qPrintable(p));
        }
    }
};

QTEST_GUILESS_MAIN(RegistrarSearchTest)
#include "tst_registrar_search.moc"
