#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace emu {

class Registrar;

// The paper tape as a text file that grows as the registrar prints: every line appended
// in UTF-8 (the registrar's own text is Windows-1251), one printed line a line of the
// file, a separator line after every document, and each line flushed at once so that a
// reader following the file sees it as it prints.
class TapeFile {
public:
    // The line between two documents.
    static QByteArray separator();

    // Opens the file for appending, creating it when missing.
    bool open(const QString &path, QString &error);
    // The registrar prints into this file from now on.
    void attach(Registrar &registrar);

    void printLine(const QByteArray &line);
    void endDocument();

private:
    void write(const QByteArray &utf8Line);
    QFile m_file;
    bool m_documentOpen = false; // lines printed since the last separator
};

} // namespace emu
