// ExchangeLogViewer, "Просмотр журнала обмена": exchange logs decoded.
#include "tools/exchange_log_view_form.h"

#include "app/application.h"
#include "link/device_link.h"
#include "link/exchange_log.h"
#include "ui/form_kit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
// Typing in the search box filters once the user pauses.
constexpr int kSearchPauseMs = 300;

// The wait cursor while a large log is read.
struct BusyCursor {
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
};
} // namespace

ExchangeLogViewer::ExchangeLogViewer(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent)
{
    setWindowTitle(kCaption);
    setSizeGripEnabled(true);

    m_fileEdit = kit::display(u"fileEdit"_s, this);
    auto *openButton = kit::button(u"Открыть файл..."_s, u"openFileButton"_s, this);
    m_reloadButton = kit::button(u"Перечитать"_s, u"reloadButton"_s, this);
    m_reloadButton->setEnabled(false);
    m_commandCombo = kit::comboBox(u"commandCombo"_s, this);
    // A long command name is cut in the closed list, not the window widened for it.
    m_commandCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_commandCombo->setMinimumContentsLength(28);
    m_errorsOnlyCheck = kit::checkBox(u"Только ошибки"_s, u"errorsOnlyCheck"_s, this);
    m_searchEdit = kit::edit(u"searchEdit"_s, this);
    m_searchEdit->setClearButtonEnabled(true);
    m_searchEdit->setPlaceholderText(u"текст, код, сообщение..."_s);
    m_searchEdit->setMinimumWidth(kit::charsWidth(m_searchEdit, 14));
    m_searchTimer = new QTimer(this);
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(kSearchPauseMs);

    m_table = new QTableView(this);
    m_table->setObjectName(u"exchangeTable"_s);
    m_table->setModel(&m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Each column as wide as a typical text of it; the rest of a longer one is in the
    // row's tool tip and in the details below.
    const QStringList samples = {u"00.00.0000 00:00:00"_s, u"00 повтор"_s, u"Код"_s,
                                 u"Команда 00h: Получение параметров"_s, u"482913;0000000000"_s,
                                 u"0000 Неверный пароль доступа!"_s, u"00 00 00 00 00 00"_s,
                                 u"5. Произвольный текстовый"_s, u"0000; 00; 00; 00; 00; 00"_s};
    for (int c = 0; c < samples.size(); ++c)
        m_table->setColumnWidth(c, m_table->fontMetrics().horizontalAdvance(samples[c]) + 14);

    m_details = new QPlainTextEdit(this);
    m_details->setObjectName(u"detailsEdit"_s);
    m_details->setReadOnly(true);
    m_details->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto *closeButton = kit::button(u"Закрыть"_s, u"closeButton"_s, this);

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(u"Файл:"_s, this));
    fileRow->addWidget(m_fileEdit, 1);
    fileRow->addWidget(openButton);
    fileRow->addWidget(m_reloadButton);

    auto *filterRow = new QHBoxLayout;
    auto *commandLabel = new QLabel(u"Команда:"_s, this);
    commandLabel->setBuddy(m_commandCombo);
    filterRow->addWidget(commandLabel);
    filterRow->addWidget(m_commandCombo);
    filterRow->addSpacing(12);
    filterRow->addWidget(m_errorsOnlyCheck);
    filterRow->addSpacing(12);
    auto *searchLabel = new QLabel(u"Поиск:"_s, this);
    searchLabel->setBuddy(m_searchEdit);
    filterRow->addWidget(searchLabel);
    filterRow->addWidget(m_searchEdit, 1);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_table);
    split->addWidget(m_details);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    m_details->setMinimumHeight(m_details->fontMetrics().lineSpacing() * 8);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addLayout(filterRow);
    layout->addWidget(split, 1);
    layout->addLayout(kit::buttonRow({closeButton}));
    layout->addWidget(kit::statusBar(this, QString(), &m_countsPanel));
    resize(sizeHint());

    connect(openButton, &QPushButton::clicked, this, &ExchangeLogViewer::chooseFile);
    // The program may still be writing the log: read it again to its new end.
    connect(m_reloadButton, &QPushButton::clicked, this, [this] { openLog(m_model.path()); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_commandCombo, &QComboBox::currentIndexChanged, this, [this] {
        m_model.setCommandFilter(m_commandCombo->currentData().toInt());
        showCounts();
    });
    connect(m_errorsOnlyCheck, &QCheckBox::toggled, this, [this](bool on) {
        m_model.setErrorsOnly(on);
        showCounts();
    });
    connect(m_searchEdit, &QLineEdit::textChanged, m_searchTimer, qOverload<>(&QTimer::start));
    connect(m_searchEdit, &QLineEdit::returnPressed, m_searchTimer, [this] {
        m_searchTimer->stop();
        search();
    });
    connect(m_searchTimer, &QTimer::timeout, this, &ExchangeLogViewer::search);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &ExchangeLogViewer::showDetails);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &ExchangeLogViewer::showDetails);
}

QSize ExchangeLogViewer::sizeHint() const
{
    // Every column in view without scrolling sideways, and 40 lines high, as far as the
    // display allows.
    int tableWidth = 2 * m_table->frameWidth() + m_table->verticalHeader()->sizeHint().width()
        + m_table->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < m_model.columnCount(); ++c)
        tableWidth += m_table->columnWidth(c);
    const QMargins margins = layout() ? layout()->contentsMargins() : QMargins();
    QSize wanted(tableWidth + margins.left() + margins.right(), m_table->fontMetrics().height() * 40);
    wanted = wanted.expandedTo(Screen::minimumSizeHint());
    if (const QScreen *display = screen())
        wanted = wanted.boundedTo(display->availableGeometry().size() - QSize(16, 48));
    return wanted;
}

void ExchangeLogViewer::opened()
{
    // The window system's first size stops at two thirds of the display: every column
    // in view wants more, within the display.
    const QSize wanted = sizeHint().expandedTo(size());
    if (wanted != size()) {
        resize(wanted);
        if (const QScreen *display = screen()) {
            const QRect room = display->availableGeometry();
            QRect frame = frameGeometry();
            frame.moveLeft(qMax(room.left(), qMin(frame.left(), room.right() + 1 - frame.width())));
            frame.moveTop(qMax(room.top(), qMin(frame.top(), room.bottom() + 1 - frame.height())));
            move(frame.topLeft());
        }
    }
    // A new opening shows the log another screen asked for, else the program's current
    // log when it writes one (from the menu, as from the monitor), else none.
    QString requested = property(kLogFileProperty).toString();
    setProperty(kLogFileProperty, QVariant());
    if (requested.isEmpty()) {
        const ExchangeLog &log = app().link().Log();
        const QString current = !log.logFilePath().isEmpty() ? log.logFilePath()
            : log.logFileName().isEmpty()                    ? QString()
                                                             : ExchangeLog::resolvePath(log.logFileName(), QDir::currentPath());
        if (!current.isEmpty() && QFileInfo(current).isFile())
            requested = current;
    }
    m_model.close();
    m_reloadButton->setEnabled(false);
    m_fileEdit->clear();
    m_searchEdit->clear();
    m_errorsOnlyCheck->setChecked(false);
    fillCommandList();
    showCounts();
    if (!requested.isEmpty())
        openLog(requested);
}

void ExchangeLogViewer::chooseFile()
{
    Prompter::FileRequest request;
    request.caption = u"Открыть журнал обмена"_s;
    request.filter = u"Журналы обмена (*.log)|*.LOG|Все|*.*"_s;
    request.defaultExtension = u"log"_s;
    request.initialName = u"*.log"_s;
    request.initialFolder = m_model.path().isEmpty() ? QDir::currentPath() : QFileInfo(m_model.path()).absolutePath();
    const QString path = app().prompter().openFile(request);
    if (!path.isEmpty())
        openLog(path);
}

void ExchangeLogViewer::search()
{
    // A search reads the whole log again.
    const BusyCursor busy;
    m_model.setSearchText(m_searchEdit->text());
    showCounts();
}

bool ExchangeLogViewer::openLog(const QString &path)
{
    QString error;
    bool ok = false;
    {
        const BusyCursor busy;
        ok = m_model.open(path, error);
    }
    m_reloadButton->setEnabled(ok);
    m_fileEdit->setText(ok ? QDir::toNativeSeparators(path) : QString());
    fillCommandList();
    showCounts();
    if (!ok)
        app().prompter().showMessage(u"Не удается открыть журнал обмена %1:\n  %2"_s.arg(path, error));
    return ok;
}

void ExchangeLogViewer::fillCommandList()
{
    const QSignalBlocker block(m_commandCombo);
    const int keep = m_model.commandFilter();
    m_commandCombo->clear();
    m_commandCombo->addItem(u"Все команды"_s, -1);
    for (int code : m_model.commandCodes()) {
        LoggedExchange x;
        x.code = code;
        m_commandCombo->addItem(x.commandText(), code);
    }
    const int at = m_commandCombo->findData(keep);
    m_commandCombo->setCurrentIndex(at < 0 ? 0 : at);
    m_model.setCommandFilter(m_commandCombo->currentData().toInt());
}

void ExchangeLogViewer::showCounts()
{
    if (m_model.path().isEmpty()) {
        m_countsPanel->setText(u"Журнал не открыт"_s);
        return;
    }
    QString text = u"Обменов: %1, неудачных: %2, показано: %3"_s.arg(m_model.exchangeCount())
                       .arg(m_model.failedCount())
                       .arg(m_model.rowCount());
    if (m_model.damagedCount() > 0)
        text += u", поврежденных записей: %1"_s.arg(m_model.damagedCount());
    m_countsPanel->setText(text);
}

void ExchangeLogViewer::showDetails()
{
    // After a filter the first exchange shown is the one described.
    if (!m_table->selectionModel()->currentIndex().isValid() && m_model.rowCount() > 0) {
        m_table->selectRow(0);
        return; // the row change comes back here
    }
    const QModelIndex current = m_table->selectionModel()->currentIndex();
    m_details->setPlainText(current.isValid() ? ExchangeLogModel::details(m_model.exchange(current.row())) : QString());
}
