#include "ui/text_grid.h"

#include "ui/form_kit.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

TextGrid::TextGrid(const QString &name, const QList<Column> &columns, int rows, QWidget *parent)
    : QWidget(parent), m_columns(columns)
{
    setObjectName(name);
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(2);
    layout->setVerticalSpacing(2);

    bool captions = false;
    for (const Column &c : m_columns)
        captions = captions || !c.caption.isEmpty();
    const int firstRow = captions ? 1 : 0;
    if (captions)
        for (int column = 0; column < m_columns.size(); ++column)
            layout->addWidget(new QLabel(m_columns[column].caption, this), 0, column);

    // Made row by row, so that Tab follows the rows.
    for (int row = 0; row < qMax(0, rows); ++row) {
        QList<QLineEdit *> cells;
        for (int column = 0; column < m_columns.size(); ++column) {
            const Column &c = m_columns[column];
            QLineEdit *e = kit::edit(QStringLiteral("r%1c%2Edit").arg(row).arg(column), this, c.chars, c.maxLength);
            e->setReadOnly(c.readOnly);
            e->installEventFilter(this);
            connect(e, &QLineEdit::textEdited, this, [this, row, column] { emit cellChanged(row, column); });
            layout->addWidget(e, firstRow + row, column);
            cells.append(e);
        }
        m_cells.append(cells);
        m_attributes.append(QList<int>(m_columns.size(), 0));
    }
    layout->setRowStretch(firstRow + rowCount(), 1);
}

bool TextGrid::contains(int row, int column) const
{
    return row >= 0 && row < rowCount() && column >= 0 && column < columnCount();
}

QLineEdit *TextGrid::cell(int row, int column) const
{
    return contains(row, column) ? m_cells[row][column] : nullptr;
}

QString TextGrid::text(int row, int column) const
{
    return contains(row, column) ? m_cells[row][column]->text() : QString();
}

void TextGrid::setText(int row, int column, const QString &text)
{
    // QLineEdit cuts the text to its maximum length itself.
    if (contains(row, column))
        m_cells[row][column]->setText(text);
}

QStringList TextGrid::rowTexts(int row) const
{
    QStringList out;
    if (row >= 0 && row < rowCount())
        for (const QLineEdit *e : m_cells[row])
            out << e->text();
    return out;
}

void TextGrid::setRowTexts(int row, const QStringList &texts)
{
    for (int column = 0; column < columnCount(); ++column)
        setText(row, column, texts.value(column));
}

int TextGrid::attributes(int row, int column) const
{
    return contains(row, column) ? m_attributes[row][column] : 0;
}

void TextGrid::setAttributes(int row, int column, int flags)
{
    if (contains(row, column))
        m_attributes[row][column] = flags;
}

void TextGrid::setAttribute(int row, int column, int flag, bool on)
{
    setAttributes(row, column, on ? attributes(row, column) | flag : attributes(row, column) & ~flag);
}

void TextGrid::clear()
{
    for (int row = 0; row < rowCount(); ++row)
        for (int column = 0; column < columnCount(); ++column) {
            m_cells[row][column]->clear();
            m_attributes[row][column] = 0;
        }
}

bool TextGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            for (int row = 0; row < rowCount(); ++row) {
                const int column = int(m_cells[row].indexOf(static_cast<QLineEdit *>(watched)));
                if (column < 0)
                    continue;
                if (QLineEdit *next = cell(key == Qt::Key_Up ? row - 1 : row + 1, column)) {
                    next->setFocus(Qt::OtherFocusReason);
                    next->selectAll();
                }
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
