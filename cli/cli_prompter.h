#pragma once

#include "app/prompter.h"

#include <cstdio>

namespace cli {

// The prompter of dizivu-cli: what a window would show in a message box goes to
// standard error, one message a line; questions take their default answer (the first
// of OK and Yes offered, else No, else Cancel) and file dialogs are cancelled.
class CliPrompter final : public Prompter {
public:
    explicit CliPrompter(FILE *err) : m_err(err) {}

    void showMessage(const QString &text, const QString &caption = QString(), Icon icon = Icon::None) override;
    Button ask(const QString &text, const QString &caption, int buttons, Icon icon = Icon::Question) override;
    QString openFile(const FileRequest &request) override;
    QString saveFile(const FileRequest &request) override;
    QString chooseFolder(const QString &caption, const QString &initialFolder) override;

private:
    void write(const QString &text);
    FILE *m_err;
};

} // namespace cli
