// The desktop prompter's wait: a modal bar with "Отмена" that the waiting operation polls.
#include "ui/desktop_prompter.h"

#include <QApplication>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

class DesktopWaitTest : public QObject {
    Q_OBJECT

private slots:
    void cancelEndsTheWait()
    {
        DesktopPrompter prompter;
        prompter.beginWait(QStringLiteral("Ожидание ответа банковского терминала..."), 20000);
        const auto top = QApplication::topLevelWidgets();
        QProgressDialog *d = nullptr;
        for (QWidget *w : top)
            if (auto *p = qobject_cast<QProgressDialog *>(w))
                d = p;
        QVERIFY(d);
        QCOMPARE(d->windowModality(), Qt::ApplicationModal);
        QCOMPARE(d->labelText(), QStringLiteral("Ожидание ответа банковского терминала..."));
        QVERIFY(!prompter.waitCancelled(100));
        QCOMPARE(d->value(), 100);

        QPushButton *cancel = d->findChild<QPushButton *>();
        QVERIFY(cancel);
        QCOMPARE(cancel->text(), QStringLiteral("Отмена"));
        d->show();
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(prompter.waitCancelled(200));

        QPointer<QProgressDialog> gone(d);
        prompter.endWait();
        QVERIFY(gone.isNull());
        // Without a wait there is nothing to cancel.
        QVERIFY(!prompter.waitCancelled(300));
    }
};

QTEST_MAIN(DesktopWaitTest)
#include "tst_desktop_wait.moc"
