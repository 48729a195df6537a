#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;

// Rows of small text inputs under column captions: the header lines with their print
// attributes, the tax table, the events list. Every cell holds a text and an integer set
// of flags of the screen's own meaning (a header line's bold, double width, centring);
// the grid keeps the flags and never interprets them.
//
// Cells are named "r<row>c<column>Edit" (from 0) inside the grid. Tab goes through the
// cells row by row; Up and Down go to the same column of the row above or below.
class TextGrid : public QWidget {
    Q_OBJECT
public:
    struct Column {
        QString caption;    // shown above the column; no caption row when every one is empty
        int chars = 0;      // width in characters; 0 lets the layout decide
        int maxLength = 0;  // what can be typed; 0 is no limit
        bool readOnly = false;
    };

    TextGrid(const QString &name, const QList<Column> &columns, int rows, QWidget *parent);

    int rowCount() const { return int(m_cells.size()); }
    int columnCount() const { return int(m_columns.size()); }
    // The cell's input; null outside the grid.
    QLineEdit *cell(int row, int column) const;

    // Outside the grid a text reads empty and a write does nothing; a text longer than
    // the column's limit is cut to it.
    QString text(int row, int column) const;
    void setText(int row, int column, const QString &text);
    // One text a column; missing texts clear their cells, extra ones are ignored.
    QStringList rowTexts(int row) const;
    void setRowTexts(int row, const QStringList &texts);

    // The cell's flags; 0 outside the grid.
    int attributes(int row, int column) const;
    void setAttributes(int row, int column, int flags);
    bool hasAttribute(int row, int column, int flag) const { return (attributes(row, column) & flag) == flag; }
    void setAttribute(int row, int column, int flag, bool on);

    // Every text and every flag cleared.
    void clear();

signals:
    // The user changed a cell's text (not a write through the calls above).
    void cellChanged(int row, int column);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool contains(int row, int column) const;

    QList<Column> m_columns;
    QList<QList<QLineEdit *>> m_cells;
    QList<QList<int>> m_attributes;
};
