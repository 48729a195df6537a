#pragma once

#include "app/prompter.h"

#include <QList>
#include <QStringList>

#include <deque>
#include <functional>

// A prompter for tests: keeps every text shown and answers from queues. With the queues
// empty it answers questions with the first offered of Ok/Yes and cancels file dialogs.
class RecordingPrompter final : public Prompter {
public:
    struct Shown {
        enum Kind { Message, Question, OpenFile, SaveFile, Folder } kind;
        QString text;    // message or question text; the caption of a dialog
        QString caption; // box caption; the filter of a file dialog
        Icon icon = Icon::None;
    };

    void showMessage(const QString &text, const QString &caption, Icon icon) override
    {
        shown.append({Shown::Message, text, caption, icon});
        if (onMessage)
            onMessage(text);
    }
    // Called at every message, while it would be on the screen: what the screen shows then.
    std::function<void(const QString &text)> onMessage;
    std::function<void(const QString &text)> onQuestion;
    Button ask(const QString &text, const QString &caption, int buttons, Icon icon) override
    {
        shown.append({Shown::Question, text, caption, icon});
        if (onQuestion)
            onQuestion(text);
        if (!answers.empty()) {
            const Button b = answers.front();
            answers.pop_front();
            return b;
        }
        for (Button b : {Ok, Yes, No, Cancel})
            if (buttons & b)
                return b;
        return Cancel;
    }
    Button askWithDefault(const QString &text, const QString &caption, int buttons, Button defaultButton,
                          Icon icon) override
    {
        defaults.append(defaultButton);
        return ask(text, caption, buttons, icon);
    }
    QString openFile(const FileRequest &r) override { return file(Shown::OpenFile, r); }
    QString saveFile(const FileRequest &r) override { return file(Shown::SaveFile, r); }
    QString chooseFolder(const QString &caption, const QString &) override
    {
        shown.append({Shown::Folder, caption, QString(), Icon::None});
        return next();
    }

    // Waits: the texts begun, in order; with cancelWaitAfter set, "Отмена" is pressed at
    // that many calls of waitCancelled() into a wait (counted anew for each wait).
    void beginWait(const QString &text, int) override
    {
        waits.append(text);
        m_waitPolls = 0;
    }
    bool waitCancelled(int) override { return cancelWaitAfter >= 0 && ++m_waitPolls >= cancelWaitAfter; }

    // The texts of the message boxes, in order.
    QStringList messages() const
    {
        QStringList out;
        for (const Shown &s : shown)
            if (s.kind == Shown::Message)
                out << s.text;
        return out;
    }
    QStringList questions() const
    {
        QStringList out;
        for (const Shown &s : shown)
            if (s.kind == Shown::Question)
                out << s.text;
        return out;
    }
    void clear() { shown.clear(); }

    QList<Shown> shown;
    std::deque<Button> answers;
    std::deque<QString> files; // answers of file and folder dialogs; empty text = cancel
    QStringList waits;
    int cancelWaitAfter = -1;
    QList<Button> defaults;    // the default answers of the questions asked with one

private:
    int m_waitPolls = 0;
    QString file(Shown::Kind kind, const FileRequest &r)
    {
        shown.append({kind, r.caption, r.filter, Icon::None});
        return next();
    }
    QString next()
    {
        if (files.empty())
            return QString();
        const QString f = files.front();
        files.pop_front();
        return f;
    }
};
