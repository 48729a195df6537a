#include "ui/receipt_view.h"

#include "ui/form_kit.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ReceiptView::ReceiptView(QWidget *parent) : QGroupBox(u"Чек на регистраторе"_s, parent)
{
    setObjectName(u"receiptView"_s);
    m_rows = new QListWidget(this);
    m_rows->setObjectName(u"receiptRowsList"_s);
    m_rows->setSelectionMode(QAbstractItemView::NoSelection);
    m_rows->setFocusPolicy(Qt::NoFocus);
    // A card payment's row with its transaction is long: it wraps rather than scrolls.
    m_rows->setWordWrap(true);
    m_rows->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rows->setMinimumHeight(m_rows->fontMetrics().lineSpacing() * 6);
    m_rows->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    m_total = kit::display(u"receiptTotalEdit"_s, this, 9);
    m_due = kit::display(u"receiptDueEdit"_s, this, 9);
    m_change = kit::display(u"receiptChangeEdit"_s, this, 9);

    auto *figures = new QGridLayout;
    kit::gridRow(figures, 0, this, {{u"Итого:"_s, m_total}});
    kit::gridRow(figures, 1, this, {{u"К оплате:"_s, m_due}});
    kit::gridRow(figures, 2, this, {{u"Сдача:"_s, m_change}});
    figures->setColumnStretch(2, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_rows, 1);
    layout->addLayout(figures);
}

void ReceiptView::showReceipt(const QStringList &rows, const Figures &figures)
{
    m_rows->clear();
    m_rows->addItems(rows);
    m_rows->scrollToBottom();
    m_total->setText(figures.total);
    m_due->setText(figures.due);
    m_change->setText(figures.change);
}
