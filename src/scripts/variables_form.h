#pragma once

#include "ui/screen_dialog.h"

class QPushButton;
class QTableWidget;

// TForm40, "Переменные": the script variables of the monitor's run, one row each with
// its number, full name and value. Stays on top and places itself at the right edge of
// the window it belongs to, level with its top. Not a screen the host opens: the monitor
// that fills it owns it.
class TForm40 : public Screen<TForm40> {
    Q_OBJECT
public:
    enum Column { NumberColumn, NameColumn, ValueColumn, SpareColumn, ColumnCount };

    TForm40(Application &app, ScreenHost &host, QWidget *parent = nullptr);

    // A run starts or another script is chosen: no rows.
    void clearVariables();
    // New: a row with the number (from 1), the full name and an empty value.
    void addVariable(int number, const QString &name);
    // Set: the value into the variable's row, and the grid repainted.
    void setValue(int number, const QString &value);

    // "Переменные" of the monitor: headings and row numbers written, placed beside
    // `owner`, shown.
    void showBeside(QWidget *owner);
    // Beside `owner`: its right edge, level with its top.
    void placeBeside(QWidget *owner);

    int variableCount() const { return m_count; }
    QString name(int number) const;
    QString value(int number) const;

private:
    void writeHeadings();
    void ensureRows(int rows);

    QTableWidget *m_table = nullptr;
    QPushButton *m_closeButton = nullptr;
    int m_count = 0;
};
