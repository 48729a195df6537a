#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QFormLayout;
class QGridLayout;
class QLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QWidget;

// The widgets every screen builds the same way. Sizes are given in characters of the
// widget's own font, so the screens keep their proportions on any display.
namespace kit {

// Width of `chars` characters of the widget's font, with room for its frame.
int charsWidth(const QWidget *widget, int chars);

// A push button that never takes Enter as the default: Enter belongs to the edit the
// user is typing in.
QPushButton *button(const QString &caption, const QString &name, QWidget *parent);

// An input line; `chars` > 0 fixes its width, `maxLength` > 0 limits what can be typed.
QLineEdit *edit(const QString &name, QWidget *parent, int chars = 0, int maxLength = 0);
// The same, showing `text` to begin with (a default the operator may change).
QLineEdit *editWithText(const QString &text, const QString &name, QWidget *parent, int chars = 0, int maxLength = 0);

// A read-only line the user can select and copy from, but never tab into.
QLineEdit *display(const QString &name, QWidget *parent, int chars = 0);

// A check box, unticked.
QCheckBox *checkBox(const QString &caption, const QString &name, QWidget *parent);

// A drop-down list holding `items`, the first chosen; `chars` > 0 fixes its width.
QComboBox *comboBox(const QString &name, QWidget *parent, const QStringList &items = {}, int chars = 0);

// A date input with a calendar; the date is always shown in `displayFormat` (digits and
// dots, never the locale's date format), and the input is wide enough for it.
QDateEdit *dateEdit(const QString &name, QWidget *parent,
                    const QString &displayFormat = QStringLiteral("dd.MM.yyyy"));

// A radio button; the buttons with one parent make one choice.
QRadioButton *radio(const QString &caption, const QString &name, QWidget *parent);

// "Состояние регистратора": the button that opens the status screen. Enabled; the screens
// that show it only after an exchange disable it themselves.
QPushButton *statusScreenButton(QWidget *parent, const QString &name = QStringLiteral("registrarStateButton"));

// The access password input ("passwordEdit"), holding the default password.
QLineEdit *passwordEdit(QWidget *parent, const QString &name = QStringLiteral("passwordEdit"));

// The "Код ошибки:" row: a four-character display ("errorWordEdit") added to `form`.
QLineEdit *addErrorWordRow(QFormLayout *form, QWidget *parent);

// "Код ошибки:" after an operation, by one rule on every screen: an outcome that sent
// nothing (a refused input) leaves it as it was; otherwise it shows the word of the
// operation's last reply of its own command, blank after a link failure.
void showErrorWord(QLineEdit *errorWordEdit, bool sent, const QString &word);
template <class Outcome>
void showErrorWord(QLineEdit *errorWordEdit, const Outcome &outcome)
{
    showErrorWord(errorWordEdit, outcome.sent(), outcome.errorWordText());
}

// The status row: a display of the six status bytes ("statusEdit") and the button that
// opens the status screen ("statusButton", caption "?" unless given), added to `form`
// under `label`.
struct StatusRow {
    QLineEdit *edit = nullptr;
    QPushButton *button = nullptr;
};
StatusRow addStatusRow(QFormLayout *form, QWidget *parent,
                       const QString &label = QStringLiteral("Статус регистратора:"),
                       const QString &buttonCaption = QStringLiteral("?"));

// A status bar with one sunken panel ("statusPanel") showing `text`.
QStatusBar *statusBar(QWidget *parent, const QString &text, QLabel **panel = nullptr);

// A row of buttons pushed to the right.
QHBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons);

// Captioned fields one under the other, {caption, field} a row; the "Код ошибки:" and
// status rows are added to it with addErrorWordRow() and addStatusRow().
struct FormRow {
    FormRow(const QString &caption, QWidget *field) : caption(caption), field(field) {}
    FormRow(const QString &caption, QLayout *fields) : caption(caption), fields(fields) {}
    QString caption;
    QWidget *field = nullptr;
    QLayout *fields = nullptr; // several fields in one row
};
QFormLayout *formRows(std::initializer_list<FormRow> rows);
// Row `row` of a grid, from column 0: a caption label (a child of `parent`) and its field
// for each cell, or the field alone in one column when the caption is empty.
void gridRow(QGridLayout *grid, int row, QWidget *parent, std::initializer_list<FormRow> cells);

} // namespace kit
