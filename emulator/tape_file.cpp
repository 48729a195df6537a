#include "emulator/tape_file.h"

#include "emulator/registrar.h"

#include <QStringDecoder>

namespace emu {

QByteArray TapeFile::separator()
{
    return QStringLiteral("- - - - - - - - - - - ✂ - - - - - - - - - - -").toUtf8();
}

bool TapeFile::open(const QString &path, QString &error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        error = m_file.errorString();
        return false;
    }
    return true;
}

void TapeFile::attach(Registrar &registrar)
{
    registrar.setPrintHooks([this](const QByteArray &line) { printLine(line); }, [this] { endDocument(); });
}

void TapeFile::printLine(const QByteArray &line)
{
    // One printed line stays one line of the file: control characters become blanks.
    QByteArray plain = line;
    for (char &c : plain)
        if (quint8(c) < 0x20)
            c = ' ';
    QStringDecoder decoder("windows-1251", QStringConverter::Flag::Stateless);
    write(decoder.isValid() ? QString(decoder.decode(plain)).toUtf8() : plain);
    m_documentOpen = true;
}

void TapeFile::endDocument()
{
    if (!m_documentOpen)
        return;
    write(separator());
    m_documentOpen = false;
}

void TapeFile::write(const QByteArray &utf8Line)
{
    if (!m_file.isOpen())
        return;
    m_file.write(utf8Line + '\n');
    m_file.flush();
}

} // namespace emu
