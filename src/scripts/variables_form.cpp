// TForm40, "Переменные": the variables of the monitor's script run.
#include "scripts/variables_form.h"

#include "ui/form_kit.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

TForm40::TForm40(Application &app, ScreenHost &host, QWidget *parent) : Screen(app, host, parent)
{
    setWindowTitle(QStringLiteral("Переменные"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);

    m_table = new QTableWidget(1, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("variablesTable"));
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setAlternatingRowColors(true);
    QHeaderView *header = m_table->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionResizeMode(NumberColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(NameColumn, QHeaderView::Interactive);
    header->setSectionResizeMode(ValueColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(SpareColumn, QHeaderView::Fixed);
    m_table->setColumnWidth(NameColumn, 120);
    m_table->setColumnWidth(SpareColumn, 16);

    m_closeButton = kit::button(QStringLiteral("Закрыть"), QStringLiteral("closeButton"), this);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(kit::buttonRow({m_closeButton}));

    writeHeadings();
    resize(340, 300);
}

void TForm40::writeHeadings()
{
    m_table->setHorizontalHeaderLabels(
        {QString(), QStringLiteral("Переменные"), QStringLiteral("Значения"), QString()});
    for (int row = 0; row < m_table->rowCount(); ++row) {
        auto *item = new QTableWidgetItem(QString::number(row + 1));
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(row, NumberColumn, item);
    }
}

void TForm40::ensureRows(int rows)
{
    // A grid keeps one row even when there is nothing to show.
    m_table->setRowCount(qMax(1, rows));
}

void TForm40::clearVariables()
{
    m_count = 0;
    m_table->clearContents();
    ensureRows(0);
}

void TForm40::addVariable(int number, const QString &name)
{
    if (number < 1)
        return;
    m_count = qMax(m_count, number);
    ensureRows(m_count);
    auto *numberItem = new QTableWidgetItem(QString::number(number));
    numberItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_table->setItem(number - 1, NumberColumn, numberItem);
    m_table->setItem(number - 1, NameColumn, new QTableWidgetItem(name));
    m_table->setItem(number - 1, ValueColumn, new QTableWidgetItem(QString()));
}

void TForm40::setValue(int number, const QString &value)
{
    if (number < 1 || number > m_count)
        return;
    m_table->setItem(number - 1, ValueColumn, new QTableWidgetItem(value));
    if (isVisible())
        m_table->viewport()->repaint();
}

QString TForm40::name(int number) const
{
    const QTableWidgetItem *item = number >= 1 && number <= m_count ? m_table->item(number - 1, NameColumn) : nullptr;
    return item ? item->text() : QString();
}

QString TForm40::value(int number) const
{
    const QTableWidgetItem *item = number >= 1 && number <= m_count ? m_table->item(number - 1, ValueColumn) : nullptr;
    return item ? item->text() : QString();
}

void TForm40::placeBeside(QWidget *owner)
{
    if (!owner)
        return;
    const QRect frame = owner->frameGeometry();
    QPoint at(frame.right() + 1, frame.top());
    // Kept on the screen when the owner stands near its right edge.
    if (const QScreen *screen = owner->screen()) {
        const QRect area = screen->availableGeometry();
        const int width = frameGeometry().width();
        if (at.x() + width > area.right() + 1)
            at.setX(qMax(area.left(), area.right() + 1 - width));
    }
    move(at);
}

void TForm40::showBeside(QWidget *owner)
{
    writeHeadings();
    placeBeside(owner);
    show();
    raise();
}
