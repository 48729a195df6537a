#pragma once

#include "app/prompter.h"

#include <QPointer>
#include <QString>
#include <QStringList>

class QCoreApplication;
class QProgressDialog;
class QWidget;

// The desktop program's prompter: real message boxes and file dialogs, with Russian
// button texts. The only place in the program that opens QMessageBox or QFileDialog.
class DesktopPrompter final : public Prompter {
public:
    // Dialogs open over `parent`; without one, over the active window.
    explicit DesktopPrompter(QWidget *parent = nullptr);
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    void showMessage(const QString &text, const QString &caption = QString(),
                     Icon icon = Icon::None) override;
    Button ask(const QString &text, const QString &caption, int buttons,
               Icon icon = Icon::Question) override;
    Button askWithDefault(const QString &text, const QString &caption, int buttons, Button defaultButton,
                          Icon icon = Icon::Question) override;
    QString openFile(const FileRequest &request) override;
    QString saveFile(const FileRequest &request) override;
    QString chooseFolder(const QString &caption, const QString &initialFolder) override;
    void beginWait(const QString &text, int limitMs) override;
    bool waitCancelled(int elapsedMs) override;
    void endWait() override;

private:
    QWidget *parentWidget() const;
    // `defaultButton` 0: the first button offered.
    Button askBox(const QString &text, const QString &caption, int buttons, int defaultButton, Icon icon);
    QString runFileDialog(const FileRequest &request, bool save);

    QPointer<QWidget> m_parent;
    QPointer<QProgressDialog> m_wait;
};

// The pure pieces of the file dialogs, kept apart so they can be checked without a window.
namespace desktop_prompter {

// The program's name as the user reads it: the main window's title, and the title of a
// message box whose caller gives none.
inline const QString kProgramTitle = QStringLiteral("Сервисная программа регистратора");

// One filter of the system's form becomes one Qt name filter: the description, then the
// patterns in brackets, blank-separated, each once ("Текстовые файлы (*.txt *.TXT)").
//
// The system's form is description and pattern pairs separated by "|"; one pattern field
// may hold several patterns separated by ";". A description that ends in patterns in
// brackets has those merged with the pair's; a description without a pattern after it
// (an odd number of parts) is left out unless it is itself a pattern; an empty
// description, or one that is only patterns, gives the bare patterns ("*.hex"); an empty
// pattern means every file ("*"); a pair with both parts empty is left out.
QStringList qtNameFilters(const QString &systemFilter);

// The same, joined by ";;" as QFileDialog takes it:
// "Текстовые файлы (*.txt)|*.TXT|Все|*.*" -> "Текстовые файлы (*.txt *.TXT);;Все (*.*)".
QString qtFilter(const QString &systemFilter);

// The patterns QFileDialog reads from one of those filters: the last brackets', or the
// whole filter's when it has none.
QStringList filterPatterns(const QString &qtNameFilter);

// `path` with "." + `extension` appended when its file name has no extension of its own
// ("report" -> "report.txt", "report.csv" and "a.b/report." stay as typed). The extension
// may come with or without its dot; an empty one changes nothing.
QString withDefaultExtension(const QString &path, const QString &extension);

// True when an initial file name is really a pattern ("*.art"): it then filters the
// dialog instead of being offered as the name.
bool isPattern(const QString &name);

// The caption a box shows: `caption`, or kProgramTitle when that is empty.
QString boxCaption(const QString &caption);

} // namespace desktop_prompter

// Loads Qt's own Russian texts (file dialog labels and the like) when they are installed.
// Returns false when they are not there; the program works in any case.
bool installRussianQtTranslation(QCoreApplication &app);
