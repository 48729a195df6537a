// The desktop prompter: the system's file filters in Qt's form, the default extension,
// and the Russian buttons of its message boxes.
#include "ui/desktop_prompter.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs `inspect` on the modal dialog that the next call opens, once it is up.
void whenModalOpens(std::function<void(QWidget *)> inspect)
{
    QTimer::singleShot(0, qApp, [inspect] {
        QWidget *w = QApplication::activeModalWidget();
        QVERIFY(w);
        inspect(w);
        // A failed check must not leave the test waiting on an open dialog.
        if (w->isVisible())
            w->close();
    });
}

QStringList buttonTexts(QMessageBox *box)
{
    QStringList texts;
    for (QAbstractButton *b : box->buttons())
        texts << b->text();
    texts.sort();
    return texts;
}

} // namespace

class DesktopPrompterTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("dizivu")); }

    void filters_data()
    {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("qt");

        // The description shows a pattern already: each pattern once, both spellings kept
        // for a dialog that tells case apart.
        QTest::newRow("two pairs") << "Текстовые файлы (*.txt)|*.TXT|Все|*.*"
                                   << "Текстовые файлы (*.txt *.TXT);;Все (*.*)";
        QTest::newRow("description shows the same pattern") << "Все файлы (*.*)|*.*"
                                                             << "Все файлы (*.*)";
        QTest::newRow("description shows patterns separated by ;") << "Картинки (*.bmp;*.jpg)|*.BMP"
                                                                   << "Картинки (*.bmp *.jpg *.BMP)";
        QTest::newRow("brackets of words are no patterns") << "Отчёт (старый)|*.rep"
                                                           << "Отчёт (старый) (*.rep)";
        QTest::newRow("patterns separated by ;") << "Картинки|*.bmp;*.BMP"
                                                 << "Картинки (*.bmp *.BMP)";
        QTest::newRow("blanks and empty patterns around ;") << "Дампы| *.bin ;; *.BIN ;"
                                                            << "Дампы (*.bin *.BIN)";
        QTest::newRow("odd: description without pattern dropped") << "Все|*.*|Текст"
                                                                   << "Все (*.*)";
        QTest::newRow("odd: trailing bar") << "Все|*.*|" << "Все (*.*)";
        QTest::newRow("odd: lone pattern") << "*.hex" << "*.hex";
        QTest::newRow("odd: pattern after a pair") << "Все|*.*|*.art" << "Все (*.*);;*.art";
        QTest::newRow("empty description shows the patterns") << "|*.tx1;*.TX1" << "*.tx1 *.TX1";
        QTest::newRow("description only brackets") << "(*.log)|*.LOG" << "*.log *.LOG";
        QTest::newRow("empty pattern: every file") << "Все файлы|" << "Все файлы (*)";
        QTest::newRow("empty pair left out") << "||Все|*.*" << "Все (*.*)";
        QTest::newRow("description with ;; stays one filter") << "a;;b|*.x" << "a;b (*.x)";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("only bars") << "|||" << "";
    }
    void filters()
    {
        QFETCH(QString, system);
        QFETCH(QString, qt);
        QCOMPARE(desktop_prompter::qtFilter(system), qt);
        // QFileDialog reads each filter's patterns from its last brackets, or from the whole
        // filter without them; the user reads each pattern once.
        for (const QString &f : desktop_prompter::qtNameFilters(system)) {
            QVERIFY2(!f.contains(QLatin1String(";;")), qPrintable(f));
            const QStringList patterns = desktop_prompter::filterPatterns(f);
            QVERIFY2(!patterns.isEmpty(), qPrintable(f));
            for (const QString &p : patterns)
                QVERIFY2(f.count(p) == 1, qPrintable(f));
        }
    }

    void defaultExtension_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("result");

        QTest::newRow("appended") << "/tmp/report" << "txt" << "/tmp/report.txt";
        QTest::newRow("given with its dot") << "/tmp/report" << ".bin" << "/tmp/report.bin";
        QTest::newRow("own extension kept") << "/tmp/report.csv" << "txt" << "/tmp/report.csv";
        QTest::newRow("dot in a folder name only") << "/tmp/a.b/report" << "HEX" << "/tmp/a.b/report.HEX";
        QTest::newRow("name ending in a dot") << "/tmp/report." << "txt" << "/tmp/report.";
        QTest::newRow("no default") << "/tmp/report" << "" << "/tmp/report";
        QTest::newRow("cancelled") << "" << "txt" << "";
        QTest::newRow("a folder") << "/tmp/dir/" << "txt" << "/tmp/dir/";
    }
    void defaultExtension()
    {
        QFETCH(QString, path);
        QFETCH(QString, extension);
        QFETCH(QString, result);
        QCOMPARE(desktop_prompter::withDefaultExtension(path, extension), result);
    }

    void questionButtons_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("click"); // empty: press Escape
        QTest::addColumn<int>("answer");

        QTest::newRow("yes/no, no") << int(Prompter::Yes | Prompter::No) << QStringList{"Да", "Нет"}
                                    << "Нет" << int(Prompter::No);
        QTest::newRow("yes/no, yes") << int(Prompter::Yes | Prompter::No) << QStringList{"Да", "Нет"}
                                     << "Да" << int(Prompter::Yes);
        QTest::newRow("ok/cancel, escape") << int(Prompter::Ok | Prompter::Cancel)
                                           << QStringList{"OK", "Отмена"} << "" << int(Prompter::Cancel);
        QTest::newRow("yes/no/cancel, escape") << int(Prompter::Yes | Prompter::No | Prompter::Cancel)
                                               << QStringList{"Да", "Нет", "Отмена"} << ""
                                               << int(Prompter::Cancel);
        QTest::newRow("yes/no, escape") << int(Prompter::Yes | Prompter::No) << QStringList{"Да", "Нет"}
                                        << "" << int(Prompter::No);
        QTest::newRow("nothing offered: OK") << 0 << QStringList{"OK"} << "OK" << int(Prompter::Ok);
    }
    void questionButtons()
    {
        QFETCH(int, buttons);
        QFETCH(QStringList, texts);
        QFETCH(QString, click);
        QFETCH(int, answer);

        DesktopPrompter prompter;
        QStringList shown;
        QString caption;
        whenModalOpens([&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            shown = buttonTexts(box);
            caption = box->windowTitle();
            if (click.isEmpty()) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton *b : box->buttons())
                if (b->text() == click)
                    b->click();
        });
        QCOMPARE(int(prompter.ask(QStringLiteral("Продолжить?"), QString(), buttons)), answer);
        QCOMPARE(shown, texts);
        // Without a caption of the caller's, the program's Russian name, never "dizivu".
        QCOMPARE(caption, QStringLiteral("Сервисная программа регистратора"));
    }

    void enterAnswersTheDefault_data()
    {
        // -1: a plain question, without a default of the caller's.
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<int>("answer");
        QTest::newRow("erase the flash? Cancel by default")
            << int(Prompter::Ok | Prompter::Cancel) << int(Prompter::Cancel) << int(Prompter::Cancel);
        QTest::newRow("no by default") << int(Prompter::Yes | Prompter::No) << int(Prompter::No) << int(Prompter::No);
        QTest::newRow("yes by default") << int(Prompter::Yes | Prompter::No) << int(Prompter::Yes) << int(Prompter::Yes);
        QTest::newRow("plain question: OK") << int(Prompter::Ok | Prompter::Cancel) << -1 << int(Prompter::Ok);
    }
    void enterAnswersTheDefault()
    {
        QFETCH(int, buttons);
        QFETCH(int, defaultButton);
        QFETCH(int, answer);
        DesktopPrompter prompter;
        whenModalOpens([](QWidget *w) { QTest::keyClick(w, Qt::Key_Return); });
        const Prompter::Button got = defaultButton < 0
            ? prompter.ask(QStringLiteral("Продолжить?"), QString(), buttons)
            : prompter.askWithDefault(QStringLiteral("Продолжить?"), QString(), buttons, Prompter::Button(defaultButton));
        QCOMPARE(int(got), answer);
    }

    void messageTextIsPlain()
    {
        DesktopPrompter prompter;
        Qt::TextFormat format = Qt::AutoText;
        QString text;
        whenModalOpens([&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            QVERIFY(box);
            format = box->textFormat();
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        const QString message = QStringLiteral("Поле <b>1</b>:\n  ошибка");
        prompter.showMessage(message, QStringLiteral("Заголовок"), Prompter::Icon::Error);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(text, message);
    }

    // A one-word message keeps its caption whole in the title bar.
    void shortMessageIsAsWideAsItsCaption()
    {
        DesktopPrompter prompter;
        int width = 0, captionWidth = 0;
        whenModalOpens([&](QWidget *w) {
            width = w->width();
            captionWidth = w->fontMetrics().horizontalAdvance(w->windowTitle());
            w->close();
        });
        prompter.showMessage(QStringLiteral("Да"));
        QVERIFY2(width > captionWidth + 100, qPrintable(QStringLiteral("%1 / %2").arg(width).arg(captionWidth)));
    }

    void saveDialogAppendsTheDefaultExtension()
    {
        QTemporaryDir dir;
        DesktopPrompter prompter;
        QStringList filters;
        whenModalOpens([&](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            QVERIFY(dialog);
            filters = dialog->nameFilters();
            dialog->selectFile(QStringLiteral("dump"));
            static_cast<QDialog *>(dialog)->accept(); // as the dialog's own button does
        });
        Prompter::FileRequest r;
        r.filter = QStringLiteral("Дамп памяти|*.bin|Все|*.*");
        r.defaultExtension = QStringLiteral("bin");
        r.initialFolder = dir.path();
        QCOMPARE(prompter.saveFile(r), QDir(dir.path()).filePath(QStringLiteral("dump.bin")));
        QCOMPARE(filters, (QStringList{"Дамп памяти (*.bin)", "Все (*.*)"}));
    }

    void patternAsInitialNameFilters()
    {
        QTemporaryDir dir;
        DesktopPrompter prompter;
        QString selectedFilter;
        QStringList filters;
        whenModalOpens([&](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            QVERIFY(dialog);
            selectedFilter = dialog->selectedNameFilter();
            filters = dialog->nameFilters();
            dialog->reject();
        });
        Prompter::FileRequest r;
        r.filter = QStringLiteral("Все|*.*");
        r.initialName = QStringLiteral("*.art");
        r.initialFolder = dir.path();
        QCOMPARE(prompter.openFile(r), QString());
        QCOMPARE(selectedFilter, QStringLiteral("*.art"));
        QCOMPARE(filters, (QStringList{"*.art", "Все (*.*)"}));

        // A pattern that a filter already takes selects that filter.
        whenModalOpens([&](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            QVERIFY(dialog);
            selectedFilter = dialog->selectedNameFilter();
            filters = dialog->nameFilters();
            dialog->reject();
        });
        r.filter = QStringLiteral("Текстовые файлы (*.txt)|*.TXT|Все|*.*");
        r.initialName = QStringLiteral("*.txt");
        QCOMPARE(prompter.openFile(r), QString());
        QCOMPARE(selectedFilter, QStringLiteral("Текстовые файлы (*.txt *.TXT)"));
        QCOMPARE(filters, (QStringList{"Текстовые файлы (*.txt *.TXT)", "Все (*.*)"}));
    }

    // Qt's own texts (standard buttons, the file dialog's columns, context menus) in
    // Russian. Last, as the translator stays with the application once installed.
    void qtSpeaksRussian()
    {
        QVERIFY2(installRussianQtTranslation(*qApp),
                 qPrintable(QStringLiteral("qtbase_ru.qm is missing from ")
                            + QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        QCOMPARE(QCoreApplication::translate("QFileSystemModel", "Name"), QStringLiteral("Имя"));
        QCOMPARE(QCoreApplication::translate("QWidgetTextControl", "Select All"), QStringLiteral("Выделить всё"));
    }
};

QTEST_MAIN(DesktopPrompterTest)
#include "tst_desktop_prompter.moc"
