#include "ui/status_screen_form.h"

#include "app/application.h"
#include "ui/form_kit.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr int kColumns = 2;

// A check box that shows a state and cannot be changed: clicks never reach its button
// and it takes no keyboard focus.
class ReadOnlyCheckBox final : public QCheckBox {
public:
    explicit ReadOnlyCheckBox(QWidget *parent) : QCheckBox(parent)
    {
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    bool hitButton(const QPoint &) const override { return false; }
};

} // namespace

TForm5::TForm5(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent), m_view(app)
{
    setWindowTitle(QStringLiteral("Байты состояния регистратора"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    for (int byte = 0; byte < status_bytes::kByteCount; ++byte) {
        auto *group = new QGroupBox(status_bytes::byteTitle(byte), this);
        group->setObjectName(QStringLiteral("byte%1Group").arg(byte));
        m_groups[byte] = group;

        auto *checks = new QVBoxLayout;
        checks->setSpacing(0);
        for (int bit = 0; bit < status_bytes::kBitCount; ++bit) {
            auto *box = new ReadOnlyCheckBox(group);
            box->setObjectName(QStringLiteral("byte%1Bit%2Check").arg(byte).arg(bit));
            checks->addWidget(box);
            m_checks[byte][bit] = box;
        }
        checks->addStretch(1);

        if (byte == 2) {
            auto *row = new QHBoxLayout(group);
            row->addLayout(checks);
            m_receiptList = new QListWidget(group);
            m_receiptList->setObjectName(QStringLiteral("receiptStateList"));
            m_receiptList->addItems(status_bytes::receiptStateTexts());
            m_receiptList->setSelectionMode(QAbstractItemView::NoSelection);
            m_receiptList->setFocusPolicy(Qt::NoFocus);
            m_receiptList->setEditTriggers(QAbstractItemView::NoEditTriggers);
            m_receiptList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            m_receiptList->setMinimumWidth(m_receiptList->sizeHintForColumn(0)
                                           + m_receiptList->verticalScrollBar()->sizeHint().width()
                                           + 2 * m_receiptList->frameWidth() + 4);
            row->addWidget(m_receiptList, 1);
        } else {
            group->setLayout(checks);
        }
        grid->addWidget(group, byte / kColumns, byte % kColumns);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    m_refreshButton = kit::button(QStringLiteral("Обновить"), QStringLiteral("refreshButton"), this);
    m_closeButton = kit::button(QStringLiteral("Закрыть"), QStringLiteral("closeButton"), this);
    for (QPushButton *b : {m_refreshButton, m_closeButton})
        b->setMinimumWidth(qMax(b->sizeHint().width(), 110));
    connect(m_refreshButton, &QPushButton::clicked, this, &TForm5::refresh);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);

    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(12, 12, 12, 12);
    main->setSpacing(12);
    main->addLayout(grid);
    main->addLayout(kit::buttonRow({m_refreshButton, m_closeButton}));
    layout()->setSizeConstraint(QLayout::SetMinimumSize);

    showDisplay(m_view.current());
}

void TForm5::showCurrentResult()
{
    m_keepShown = false;
    showDisplay(m_view.current());
}

void TForm5::showDisplay(const StatusDisplay &display)
{
    for (int byte = 0; byte < status_bytes::kByteCount; ++byte) {
        const StatusDisplay::Group &g = display.groups[byte];
        m_groups[byte]->setTitle(g.title);
        for (int bit = 0; bit < status_bytes::kBitCount; ++bit) {
            m_checks[byte][bit]->setText(g.captions[bit]);
            m_checks[byte][bit]->setChecked(g.ticked[bit]);
        }
    }
    // The list is for reading: the view takes no selection from the user, the screen
    // selects the registrar's receipt state itself.
    QItemSelectionModel *selection = m_receiptList->selectionModel();
    selection->clear();
    if (QListWidgetItem *item = m_receiptList->item(display.receiptState)) {
        const QModelIndex index = m_receiptList->model()->index(display.receiptState, 0);
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        // From the top when the entry fits there, so the list shows as much as it can.
        m_receiptList->scrollToTop();
        m_receiptList->scrollToItem(item, QAbstractItemView::EnsureVisible);
    } else {
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        m_receiptList->scrollToTop();
    }
}

void TForm5::refresh()
{
    const Outcome<QString> out = m_view.refresh();
    if (out.ok()) {
        showCurrentResult();
        host().setStatusText(out.shown);
    } else {
        m_keepShown = true;
    }
}

void TForm5::opened()
{
    showCurrentResult();
    if (!m_placed) {
        // Centred on the screen the first time it opens; afterwards where the user left it.
        m_placed = true;
        if (QScreen *s = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(s->availableGeometry().center());
            move(frame.topLeft());
        }
    }
}

void TForm5::hideEvent(QHideEvent *event)
{
    m_keepShown = false;
    QDialog::hideEvent(event);
}

void TForm5::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_keepShown)
        showDisplay(m_view.current());
}
