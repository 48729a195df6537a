#pragma once

#include "app/prompter.h"

// A prompter for fuzz targets: shows nothing, answers OK, chooses no file.
class NullPrompter final : public Prompter {
public:
    void showMessage(const QString &, const QString &, Icon) override {}
    Button ask(const QString &, const QString &, int, Icon) override { return Ok; }
    QString openFile(const FileRequest &) override { return {}; }
    QString saveFile(const FileRequest &) override { return {}; }
    QString chooseFolder(const QString &, const QString &) override { return {}; }
};
