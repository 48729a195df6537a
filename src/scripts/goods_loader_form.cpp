// TForm20, "Загрузка артикулов в регистратор".
#include "scripts/goods_loader_form.h"

#include "app/application.h"
#include "app/goods_file.h"
#include "ui/form_kit.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TForm20::TForm20(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_ops(app)
{
    setWindowTitle(GoodsLoader::kCaption);
    m_password = kit::passwordEdit(this);
    m_fileName = kit::display(u"fileNameEdit"_s, this);
    m_fileName->setMinimumWidth(kit::charsWidth(m_fileName, 50));
    m_lines = new QPlainTextEdit(this);
    m_lines->setObjectName(u"goodsLinesEdit"_s);
    m_lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_lines->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_lines->setMinimumHeight(m_lines->fontMetrics().lineSpacing() * 16);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"progressBar"_s);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);

    auto *loadButton = kit::button(u"Загрузить"_s, u"loadButton"_s, this);
    auto *writeButton = kit::button(u"Записать в регистратор"_s, u"writeButton"_s, this);
    auto *clearButton = kit::button(u"Очистить"_s, u"clearButton"_s, this);
    auto *exitButton = kit::button(u"Выход"_s, u"exitButton"_s, this);
    m_controls = std::make_unique<TransferControls>(QList<QWidget *>{loadButton, writeButton, clearButton, exitButton},
                                                    nullptr);

    auto *passwordRow = new QHBoxLayout;
    auto *passwordLabel = new QLabel(u"Пароль: "_s, this);
    passwordLabel->setBuddy(m_password);
    passwordRow->addWidget(passwordLabel);
    passwordRow->addWidget(m_password);
    passwordRow->addStretch();

    // The file's path under its caption, not a bare empty box.
    auto *fileRow = new QHBoxLayout;
    auto *fileLabel = new QLabel(u"Файл:"_s, this);
    fileLabel->setBuddy(m_fileName);
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(m_fileName, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(passwordRow);
    layout->addLayout(fileRow);
    layout->addWidget(m_lines, 1);
    layout->addWidget(m_progress);
    layout->addLayout(kit::buttonRow({loadButton, writeButton, clearButton, exitButton}));
    // The status bar only says a timeout: hidden, not an empty framed box, until then.
    QStatusBar *statusBar = kit::statusBar(this, QString(), &m_statusPanel);
    statusBar->hide();
    layout->addWidget(statusBar);

    connect(loadButton, &QPushButton::clicked, this, &TForm20::loadChosenFile);
    connect(writeButton, &QPushButton::clicked, this, &TForm20::writeAll);
    connect(clearButton, &QPushButton::clicked, m_lines, &QPlainTextEdit::clear);
    connect(exitButton, &QPushButton::clicked, this, &TForm20::reject);
}

QString TForm20::goodsFileName() const
{
    return m_fileName->text();
}

QStringList TForm20::goodsLines() const
{
    return goods_file::linesOfText(m_lines->toPlainText());
}

void TForm20::loadChosenFile()
{
    const QString path = m_ops.chooseFile();
    if (!path.isEmpty())
        loadGoodsFile(path);
}

bool TForm20::loadGoodsFile(const QString &path)
{
    QStringList lines;
    if (!m_ops.load(path, lines))
        return false;
    m_fileName->setText(path);
    m_fileName->setCursorPosition(0);
    m_lines->setPlainText(lines.join(u'\n'));
    return true;
}

void TForm20::reject()
{
    // The loading repaints between lines; the screen stays until it is done.
    if (!m_controls->busy())
        Screen::reject();
}

void TForm20::writeAll()
{
    const QStringList lines = goodsLines();
    m_statusPanel->clear();
    findChild<QStatusBar *>(u"statusBar"_s)->hide();
    m_progress->setRange(0, qMax(1, int(lines.size())));
    m_progress->setValue(0);
    GoodsLoader::Tally t;
    {
        TransferControls::Guard busy(*m_controls);
        m_lines->setReadOnly(true);
        t = m_ops.write(m_password->text(), lines, [this](int line, const Verdict &v, const GoodsLoader::Tally &) {
            m_progress->setValue(line);
            if (v.kind == Verdict::Kind::NoReply) {
                m_statusPanel->setText(GoodsLoader::kTimeoutNotice);
                findChild<QStatusBar *>(u"statusBar"_s)->show();
            }
            QCoreApplication::processEvents();
        });
        m_lines->setReadOnly(false);
    }
    m_ops.report(t);
}
