// Logo programming: the picture's conversion into logo lines, and the exchange with the
// emulator on virtual time.
#include "emulator/registrar.h"
#include "tools/logo_programming.h"

#include "support/sent_frames.h"
#include "support/emulated_app.h"

#include <QImage>
#include <QTest>

namespace {

QImage picture(int w, int h, QRgb fill = qRgb(255, 255, 255))
{
    QImage p(w, h, QImage::Format_RGB32);
    p.fill(fill);
    return p;
}

struct Bench : EmulatedApp {
    LogoProgramming ops{app};
    transfer::View view;

    explicit Bench(int memory = 24576, int width = 384) : EmulatedApp(options(memory, width)) {}
    static emu::RegistrarOptions options(int memory, int width)
    {
        emu::RegistrarOptions o;
        o.logoMemory = memory;
        o.logoWidth = width;
        return o;
    }
    bool load(const QImage &p)
    {
        const QString path = dir.filePath(QStringLiteral("logo.bmp"));
        return p.save(path, "BMP") && ops.loadPicture(path);
    }
    QList<QByteArray> sent(int code) const { return parametersSent(*line, code); }
    transfer::Result program(int w, int h, QSize &sent)
    {
        return ops.program(QStringLiteral("482913"), QString::number(w), QString::number(h), sent, view);
    }
};

} // namespace

class LogoProgrammingTest : public QObject {
    Q_OBJECT
private slots:
    void dotsBecomeBits()
    {
        // The first dot is the high bit; only pure white stays blank, grey prints.
        QImage p = picture(10, 2);
        p.setPixel(0, 0, qRgb(0, 0, 0));
        p.setPixel(7, 0, qRgb(254, 255, 255));
        p.setPixel(9, 1, qRgb(128, 128, 128));
        QCOMPARE(LogoProgramming::logoBytes(p, 10, 2), QByteArray::fromHex("8100" "0040"));
    }

    void rowsArePaddedAndDotsOutsideThePicturePrint()
    {
        // W = 100: 13 bytes a row, the low four bits of its last byte 0.
        const QByteArray rows = LogoProgramming::logoBytes(picture(200, 3, qRgb(0, 0, 0)), 100, 3);
        QCOMPARE(rows.size(), 39);
        for (int y = 0; y < 3; ++y) {
            QCOMPARE(rows.mid(y * 13, 12), QByteArray(12, '\xFF'));
            QCOMPARE(quint8(rows[y * 13 + 12]), quint8(0xF0));
        }
        // A white 4 × 1 picture sent as 8 × 2: the dots beyond it are set.
        QCOMPARE(LogoProgramming::logoBytes(picture(4, 1), 8, 2), QByteArray::fromHex("0FFF"));
    }

    void linesAreTwentyFourBytesThePaddedLastOneIncluded()
    {
        QByteArray bytes(30, '\0');
        for (int i = 0; i < 30; ++i)
            bytes[i] = char(i + 1);
        const QList<QString> lines = LogoProgramming::logoLines(bytes);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString::fromLatin1(bytes.left(24).toHex().toUpper()));
        QCOMPARE(lines[1], QString::fromLatin1(bytes.mid(24).toHex().toUpper()) + QString(36, QLatin1Char('0')));
        QCOMPARE(LogoProgramming::logoLines(QByteArray(48, 'x')).size(), 2);
    }

    void widePictureIsCutToTheMaximum()
    {
        // Maximum 192 dots: a 200 × 40 picture goes as 192 × 40, one row a line, 40 lines.
        Bench b(24 * 40 * 2, 192);
        const Outcome<LogoProgramming::Maxima> m = b.ops.readMaxima(QStringLiteral("482913"));
        QCOMPARE(m.shown.width, 192);
        QCOMPARE(m.shown.height, 24 * 40 * 2 * 8 / 192);
        QImage p = picture(200, 40);
        for (int y = 0; y < 40; ++y)
            p.setPixel(y, y, qRgb(0, 0, 0));
        QVERIFY(b.load(p));
        QCOMPARE(b.ops.sizeToSend(), QSize(192, 40));
        QSize sent;
        QVERIFY(b.program(192, 40, sent).ok());
        const QList<QByteArray> lines = b.sent(0x29);
        QCOMPARE(lines.size(), 40);
        QVERIFY(lines[0].startsWith("482913;0;80000000"));
        QVERIFY(lines[39].startsWith("482913;39;"));
        QCOMPARE(b.sent(0x31), QList<QByteArray>{"482913;192;40;"});
        QCOMPARE(b.registrar.state().logoWidth, 192);
        QCOMPARE(b.registrar.state().logo.size(), 960);
        QCOMPARE(b.prompter.messages(), QStringList{LogoProgramming::kSuccess});
    }

    void typedSizesAreCappedAtTheMaximum()
    {
        Bench b(240, 96); // maximum 96 × 20
        b.ops.readMaxima(QStringLiteral("482913"));
        QVERIFY(b.load(picture(50, 10)));
        QSize sent;
        // Not in silence: the cut is said first, and a no sends nothing.
        b.prompter.answers = {Prompter::Cancel};
        QCOMPARE(b.program(999, 500, sent).end, transfer::End::Cancelled);
        QVERIFY(b.sent(0x29).isEmpty() && b.sent(0x31).isEmpty());
        QCOMPARE(b.prompter.questions(),
                 QStringList{LogoProgramming::kClampQuestion.arg(999).arg(500).arg(96).arg(20).arg(96).arg(20)});
        QVERIFY(b.program(500, 500, sent).ok());
        QCOMPARE(sent, QSize(96, 20));
        QCOMPARE(b.sent(0x29).size(), 12 * 20 / 24);
        QCOMPARE(b.sent(0x31), QList<QByteArray>{"482913;96;20;"});
        QCOMPARE(b.prompter.questions().size(), 2);
        // Within the maximum nothing is asked.
        QVERIFY(b.program(96, 20, sent).ok());
        QCOMPARE(b.prompter.questions().size(), 2);
    }

    void failuresStopTheLines()
    {
        Bench b;
        b.ops.readMaxima(QStringLiteral("482913"));
        QVERIFY(b.load(picture(192, 4)));
        b.app.link().SetReplyCount(0);
        b.registrar.injectFault({});
        b.registrar.injectFault({emu::Fault::Refuse, 1, 4});
        QSize sent;
        QCOMPARE(b.program(192, 4, sent).end, transfer::End::RegistrarError);
        QCOMPARE(b.sent(0x29).size(), 2);
        QCOMPARE(b.prompter.messages(), QStringList{LogoProgramming::kWriteFailed});

        // The size command is judged like the lines.
        b.prompter.clear();
        b.registrar.injectFault({emu::Fault::Silence, 3, 80, 0x31});
        QCOMPARE(b.program(192, 4, sent).end, transfer::End::LinkFailed);
        QCOMPARE(b.prompter.messages(), QStringList{LogoProgramming::kTimeout});
    }

    void zeroWidthIsReportedNotDividedBy()
    {
        Bench b(24576, 0);
        const Outcome<LogoProgramming::Maxima> m = b.ops.readMaxima(QStringLiteral("482913"));
        QCOMPARE(m.shown.width, 0);
        QCOMPARE(m.shown.height, -1);
        QCOMPARE(b.prompter.messages(), QStringList{LogoProgramming::kZeroWidth});
        QVERIFY(b.load(picture(10, 10)));
        b.prompter.clear();
        QSize sent;
        QCOMPARE(b.program(10, 10, sent).end, transfer::End::Refused);
        QCOMPARE(b.prompter.messages(), QStringList{LogoProgramming::kNoMaxima});
        QVERIFY(b.sent(0x29).isEmpty());
    }

    void noReplyAtActivation()
    {
        Bench b;
        b.app.link().SetReplyCount(0);
        b.registrar.injectFault({emu::Fault::Silence});
        const Outcome<LogoProgramming::Maxima> m = b.ops.readMaxima(QStringLiteral("482913"));
        QVERIFY(!m.shown.known());
        QCOMPARE(b.prompter.messages(), QStringList{LogoProgramming::kTimeout});
    }
};

QTEST_GUILESS_MAIN(LogoProgrammingTest)
#include "tst_logo_programming.moc"
