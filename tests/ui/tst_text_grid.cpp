#include "ui/text_grid.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

enum Flag { Bold = 1, DoubleWidth = 2, Centred = 4 };

// Three rows of a header line: text (up to 6 characters), a flag column, a read-only one.
TextGrid *makeGrid(QWidget *parent)
{
    return new TextGrid(QStringLiteral("headerGrid"),
                        {{QStringLiteral("Текст"), 8, 6, false}, {QString(), 2, 1, false}, {QString(), 2, 0, true}}, 3,
                        parent);
}

// Every row as "text,text,text/flags,flags,flags".
QStringList dump(const TextGrid &g)
{
    QStringList out;
    for (int row = 0; row < g.rowCount(); ++row) {
        QStringList flags;
        for (int column = 0; column < g.columnCount(); ++column)
            flags << QString::number(g.attributes(row, column));
        out << g.rowTexts(row).join(u',') + u'/' + flags.join(u',');
    }
    return out;
}

} // namespace

class TextGridTest : public QObject {
    Q_OBJECT
private slots:
    void textsAndFlags()
    {
        const struct {
            const char *name;
            std::function<void(TextGrid &)> act;
            QStringList expected;
        } cases[] = {
            {"empty", [](TextGrid &) {}, {",,/0,0,0", ",,/0,0,0", ",,/0,0,0"}},
            {"a text longer than its column is cut", [](TextGrid &g) { g.setText(1, 0, QStringLiteral("ЗАГОЛОВОК")); },
             {",,/0,0,0", "ЗАГОЛО,,/0,0,0", ",,/0,0,0"}},
            {"writes outside the grid do nothing",
             [](TextGrid &g) {
                 g.setText(3, 0, QStringLiteral("x"));
                 g.setText(0, -1, QStringLiteral("x"));
                 g.setAttributes(-1, 0, Bold);
                 g.setAttributes(0, 3, Bold);
             },
             {",,/0,0,0", ",,/0,0,0", ",,/0,0,0"}},
            {"a row's texts: missing ones clear, extra ones are ignored",
             [](TextGrid &g) {
                 g.setRowTexts(0, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
                 g.setRowTexts(0, {QStringLiteral("d")});
                 g.setRowTexts(2, {QStringLiteral("e"), QStringLiteral("f"), QStringLiteral("g"), QStringLiteral("h")});
             },
             {"d,,/0,0,0", ",,/0,0,0", "e,f,g/0,0,0"}},
            {"flags are set and cleared one by one, per cell",
             [](TextGrid &g) {
                 g.setAttribute(0, 0, Bold, true);
                 g.setAttribute(0, 0, Centred, true);
                 g.setAttribute(0, 0, Bold, false);
                 g.setAttributes(2, 1, Bold | DoubleWidth);
                 g.setAttribute(2, 1, Centred, false);
             },
             {",,/4,0,0", ",,/0,0,0", ",,/0,3,0"}},
            {"clear takes texts and flags",
             [](TextGrid &g) {
                 g.setRowTexts(1, {QStringLiteral("a"), QStringLiteral("1")});
                 g.setAttributes(1, 0, Bold);
                 g.clear();
             },
             {",,/0,0,0", ",,/0,0,0", ",,/0,0,0"}},
        };
        for (const auto &c : cases) {
            QWidget parent;
            TextGrid *g = makeGrid(&parent);
            c.act(*g);
            QCOMPARE_EQ(dump(*g), c.expected);
        }
        QWidget parent;
        TextGrid *g = makeGrid(&parent);
        g->setAttributes(0, 0, Bold | Centred);
        QVERIFY(g->hasAttribute(0, 0, Bold | Centred));
        QVERIFY(!g->hasAttribute(0, 0, Bold | DoubleWidth));
        QCOMPARE(g->text(5, 5), QString());
        QVERIFY(g->rowTexts(3).isEmpty());
        QVERIFY(g->cell(1, 2)->isReadOnly());
        QCOMPARE(g->cell(1, 2), g->findChild<QLineEdit *>(QStringLiteral("r1c2Edit")));
    }

    // The user's typing is reported with its cell, the program's writes are not; Up and
    // Down keep the column and stop at the first and last rows.
    void typingAndMovingBetweenRows()
    {
        QWidget parent;
        TextGrid *g = makeGrid(&parent);
        parent.show();
        QSignalSpy changed(g, &TextGrid::cellChanged);

        g->setText(0, 0, QStringLiteral("кассир"));
        QCOMPARE(changed.count(), 0);
        g->cell(1, 1)->setFocus();
        QTest::keyClicks(g->cell(1, 1), QStringLiteral("7"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first(), (QList<QVariant>{1, 1}));

        const struct {
            Qt::Key key;
            QLineEdit *then;
        } moves[] = {{Qt::Key_Down, g->cell(2, 1)}, {Qt::Key_Down, g->cell(2, 1)}, {Qt::Key_Up, g->cell(1, 1)},
                     {Qt::Key_Up, g->cell(0, 1)},   {Qt::Key_Up, g->cell(0, 1)}};
        for (const auto &m : moves) {
            QTest::keyClick(parent.focusWidget(), m.key);
            QCOMPARE(parent.focusWidget(), m.then);
        }
        QCOMPARE(g->text(1, 1), QStringLiteral("7"));
    }
};

QTEST_MAIN(TextGridTest)
#include "tst_text_grid.moc"
