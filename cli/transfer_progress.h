#pragma once

#include "app/prompter.h"
#include "cli/cli_prompter.h"
#include "link/clock.h"

#include <QString>

#include <cstdio>

namespace cli {

// The progress of a long transfer on standard error: a bar redrawn in place when standard
// error is a terminal, else a line at most every second (and one at the end).
class ProgressReporter {
public:
    ProgressReporter(FILE *err, const QString &label);
    // `clock` times the redraws (tests give virtual time).
    ProgressReporter(FILE *err, const QString &label, bool terminal, const Clock &clock = SystemClock::instance());

    void update(qint64 done, qint64 total);
    // Ends the bar's line before a message is printed under it.
    void breakLine();
    // The last figures, then the bar's line ended.
    void finish();

    // The text of one report: "flash-read: 45% (47250 of 104857 bytes)".
    static QString line(const QString &label, qint64 done, qint64 total);
    static QString bar(qint64 done, qint64 total, int width);

private:
    void draw(bool force);

    FILE *m_err;
    QString m_label;
    bool m_terminal;
    bool m_barOpen = false;
    bool m_started = false;
    const Clock &m_clock;
    qint64 m_lastMs = 0;
    qint64 m_done = 0, m_total = 0, m_shownDone = -1;
};

// The prompter of the transfer verbs: messages go to standard error (under the progress
// bar), the file dialogs answer with the file named on the command line, and questions
// are answered OK: naming the verb and its file is the consent (the erase asks for --yes
// before it gets here).
class TransferPrompter final : public Prompter {
public:
    TransferPrompter(FILE *err, const QString &file) : m_cli(err), m_file(file) {}
    void setProgress(ProgressReporter *progress) { m_progress = progress; }

    void showMessage(const QString &text, const QString &caption = QString(), Icon icon = Icon::None) override;
    Button ask(const QString &text, const QString &caption, int buttons, Icon icon = Icon::Question) override;
    QString openFile(const FileRequest &) override { return m_file; }
    QString saveFile(const FileRequest &) override { return m_file; }
    QString chooseFolder(const QString &, const QString &) override { return QString(); }

private:
    CliPrompter m_cli;
    QString m_file;
    ProgressReporter *m_progress = nullptr;
};

} // namespace cli
