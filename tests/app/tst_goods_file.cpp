// The one reader of goods list files (the goods loading and fiscal receipt screens,
// dizivu-cli load-goods).
#include "app/goods_file.h"
#include "link/code_page.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString kBread = QStringLiteral("101;Хлеб;12.50;1;1;");
const QString kMilk = QStringLiteral("102;Молоко;30.00;1;1;");

// What stands at the path the reader is given.
enum class Entry { Regular, Fifo, Folder, Missing, Oversize };

} // namespace

Q_DECLARE_METATYPE(Entry)
Q_DECLARE_METATYPE(goods_file::Failure)

class GoodsFileTest : public QObject {
    Q_OBJECT
private slots:
    void reads_data()
    {
        using F = goods_file::Failure;
        QTest::addColumn<Entry>("entry");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<F>("failure");
        QTest::addColumn<QStringList>("lines");
        const QStringList three{kBread, QString(), kMilk};
        QTest::newRow("Windows-1251, CR LF") << Entry::Regular << code_page::toDevice(kBread + "\r\n\r\n" + kMilk + "\r\n")
                                             << F::None << three;
        QTest::newRow("UTF-8, LF, no final end") << Entry::Regular << (kBread + "\n\n" + kMilk).toUtf8() << F::None
                                                 << three;
        QTest::newRow("UTF-8 with BOM") << Entry::Regular << QByteArray("\xEF\xBB\xBF") + (kBread + "\n").toUtf8()
                                        << F::None << QStringList{kBread};
        QTest::newRow("two final ends keep an empty line") << Entry::Regular << QByteArray("1;a;1.00;1;1;\n\n")
                                                           << F::None << QStringList{"1;a;1.00;1;1;", ""};
        QTest::newRow("empty") << Entry::Regular << QByteArray() << F::None << QStringList();
        // A named pipe with no writer would block an ordinary open for good.
        QTest::newRow("named pipe") << Entry::Fifo << QByteArray() << F::NotRegular << QStringList();
        QTest::newRow("folder") << Entry::Folder << QByteArray() << F::NotRegular << QStringList();
        QTest::newRow("missing") << Entry::Missing << QByteArray() << F::CannotOpen << QStringList();
        QTest::newRow("one byte over the limit") << Entry::Oversize << QByteArray() << F::TooLarge << QStringList();
    }
    void reads()
    {
        QFETCH(Entry, entry);
        QFETCH(QByteArray, bytes);
        QFETCH(goods_file::Failure, failure);
        QFETCH(QStringList, lines);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("goods.art"));
        switch (entry) {
        case Entry::Regular:
        case Entry::Oversize: {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            if (entry == Entry::Oversize)
                QVERIFY(f.resize(goods_file::kMaxSize + 1)); // sparse: no 16 MB written
            break;
        }
        case Entry::Fifo:
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            break;
        case Entry::Folder:
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("goods.art")));
            break;
        case Entry::Missing:
            break;
        }

        const goods_file::Contents c = goods_file::read(path);
        QCOMPARE(c.failure, failure);
        QCOMPARE(c.lines, lines);
        QCOMPARE(c.ok(), failure == goods_file::Failure::None);
        QCOMPARE(c.absolutePath, c.ok() ? path : QString());
        QCOMPARE(c.message(path).isEmpty(), c.ok());
        if (entry == Entry::Missing)
            QCOMPARE(c.message(path), QStringLiteral("Не удалось открыть файл %1: No such file or directory").arg(path));
        if (entry == Entry::Oversize)
            QCOMPARE(c.message(path), QStringLiteral("Файл %1 слишком велик для списка товаров.").arg(path));
    }
};

QTEST_GUILESS_MAIN(GoodsFileTest)
#include "tst_goods_file.moc"
