// EmulatorTapeWindow, "Лента эмулятора": the built-in emulator's paper tape, live.
#include "tools/emulator_tape_form.h"

#include "app/application.h"
#include "ui/form_kit.h"

#include <QFile>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

EmulatorTapeWindow::EmulatorTapeWindow(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent)
{
    setWindowTitle(kCaption);
    setProperty("modeless", true);
    setSizeGripEnabled(true);

    m_stateLabel = new QLabel(this);
    m_stateLabel->setObjectName(u"stateLabel"_s);
    m_stateLabel->setWordWrap(true);
    m_tape = new QPlainTextEdit(this);
    m_tape->setObjectName(u"tapeEdit"_s);
    m_tape->setReadOnly(true);
    m_tape->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_tape->setMaximumBlockCount(kMaxLines);
    m_tape->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The width of one printed line, with the frame and the scroll bar beside it.
    const int lineWidth = m_tape->fontMetrics().horizontalAdvance(QString(kLineChars, u'0'));
    m_tape->setFixedWidth(lineWidth + 2 * m_tape->frameWidth() + int(m_tape->document()->documentMargin() * 2)
                          + m_tape->verticalScrollBar()->sizeHint().width() + 4);
    // Small enough to fit beside the main window on a low display; its usual height is
    // the size hint's.
    m_tape->setMinimumHeight(m_tape->fontMetrics().lineSpacing() * kMinLines);
    m_stateLabel->setMaximumWidth(m_tape->width());

    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_stateLabel);
    layout->addWidget(m_tape, 1);
    layout->addLayout(kit::buttonRow({closeButton}));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    m_timer = new QTimer(this);
    m_timer->setInterval(kPollMs);
    connect(m_timer, &QTimer::timeout, this, &EmulatorTapeWindow::poll);
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &EmulatorTapeWindow::poll);
}

QSize EmulatorTapeWindow::sizeHint() const
{
    QSize hint = Screen::sizeHint();
    hint.rheight() += m_tape->fontMetrics().lineSpacing() * (kShownLines - kMinLines);
    return hint;
}

void EmulatorTapeWindow::opened()
{
    m_tape->clear();
    m_path.clear();
    m_offset = 0;
    m_partial.clear();
    m_stateLabel->clear();
    poll();
    m_timer->start();
}

void EmulatorTapeWindow::hideEvent(QHideEvent *event)
{
    m_timer->stop();
    Screen::hideEvent(event);
}

void EmulatorTapeWindow::follow(const QString &path)
{
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    m_path = path;
    m_offset = 0;
    m_partial.clear();
    m_tape->clear();
    if (!path.isEmpty()) {
        m_watcher->addPath(path); // may fail while the file does not exist yet: the timer looks
        m_stateLabel->setText(u"Эмулятор печатает в файл %1"_s.arg(path));
    } else {
        m_stateLabel->setText(kNotConnected);
    }
    // A wrapped caption takes more than the one line the window was laid out for; without
    // this its second line pushes the tape under the close button.
    m_stateLabel->setMinimumHeight(m_stateLabel->heightForWidth(m_tape->width()));
}

void EmulatorTapeWindow::poll()
{
    const AppState &s = app().state();
    const QString path = s.serialConnected ? s.emulatorTapePath : QString();
    if (path != m_path || m_stateLabel->text().isEmpty())
        follow(path);
    if (m_path.isEmpty())
        return;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (m_watcher->files().isEmpty())
        m_watcher->addPath(m_path);
    if (file.size() < m_offset) {
        // The tape was started anew: show it from its beginning.
        follow(m_path);
    }
    if (file.size() == m_offset || !file.seek(m_offset))
        return;
    QByteArray chunk = m_partial + file.readAll();
    m_offset = file.pos();
    const int end = chunk.lastIndexOf('\n');
    m_partial = chunk.mid(end + 1);
    if (end < 0)
        return;
    chunk.truncate(end);
    m_tape->appendPlainText(QString::fromUtf8(chunk));
    // The newest line in view.
    m_tape->verticalScrollBar()->setValue(m_tape->verticalScrollBar()->maximum());
}
