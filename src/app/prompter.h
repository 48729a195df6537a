#pragma once

#include <QString>
#include <QtGlobal>

// Every message box, question and file dialog of the program goes through a Prompter:
// the desktop program shows real dialogs, tests answer from a script and keep every text
// shown, dizivu-cli prints. Nothing else opens a message box or a file dialog.
class Prompter {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum Button { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };

    // A file dialog. The filter is given in the system's own form, description and
    // pattern pairs separated by "|": "Текстовые файлы (*.txt)|*.TXT|Все|*.*".
    struct FileRequest {
        QString caption;
        QString filter;
        QString defaultExtension; // without the dot, e.g. "txt"
        QString initialName;      // e.g. "*.art"
        QString initialFolder;    // empty: the current folder
    };

    virtual ~Prompter() = default;

    // A modal message with an OK button.
    virtual void showMessage(const QString &text, const QString &caption = QString(), Icon icon = Icon::None) = 0;
    // A modal question; `buttons` is a combination of Button values. Returns the button chosen.
    virtual Button ask(const QString &text, const QString &caption, int buttons, Icon icon = Icon::Question) = 0;
    // The same with `defaultButton` as the answer Enter gives, for a question where a
    // stray Enter must not start anything. A prompter without defaults of its own asks as
    // above.
    virtual Button askWithDefault(const QString &text, const QString &caption, int buttons, Button defaultButton,
                                  Icon icon = Icon::Question)
    {
        Q_UNUSED(defaultButton);
        return ask(text, caption, buttons, icon);
    }
    // The chosen path, or an empty text when the user cancelled.
    virtual QString openFile(const FileRequest &request) = 0;
    virtual QString saveFile(const FileRequest &request) = 0;
    virtual QString chooseFolder(const QString &caption, const QString &initialFolder) = 0;

    // A wait on a device that the operator may end early: from beginWait() to endWait()
    // the desktop shows `text` with a bar over `limitMs` and an "Отмена" button. The
    // waiting operation calls waitCancelled() often; it lets the window process events and
    // says whether "Отмена" was pressed. Without a window nothing is shown and a wait runs
    // to its end or its limit.
    virtual void beginWait(const QString &text, int limitMs)
    {
        Q_UNUSED(text);
        Q_UNUSED(limitMs);
    }
    virtual bool waitCancelled(int elapsedMs)
    {
        Q_UNUSED(elapsedMs);
        return false;
    }
    virtual void endWait() {}
};
