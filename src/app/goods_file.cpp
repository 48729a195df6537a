#include "app/goods_file.h"

#include "app/regular_file.h"
#include "link/code_page.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>


using namespace Qt::StringLiterals;

namespace goods_file {

namespace {

Contents failed(Failure failure, const QString &reason = {})
{
    Contents c;
    c.failure = failure;
    c.reason = reason;
    return c;
}

} // namespace

Prompter::FileRequest fileRequest()
{
    Prompter::FileRequest r;
    r.filter = u"Product filse -  ART|*.ART|AllFiles (*.*)|*.*"_s;
    r.defaultExtension = u"ART"_s;
    r.initialName = u"*.art"_s;
    return r;
}

QString Contents::message(const QString &path) const
{
    switch (failure) {
    case Failure::None:
        return {};
    case Failure::CannotOpen:
        return u"Не удалось открыть файл "_s + path + u": "_s + reason;
    case Failure::NotRegular:
        return u"Не удалось открыть файл "_s + path + u": это не обычный файл."_s;
    case Failure::TooLarge:
        return u"Файл "_s + path + u" слишком велик для списка товаров."_s;
    case Failure::CannotRead:
        return u"Не удалось прочитать файл "_s + path + u": "_s + reason;
    }
    return {};
}

Contents read(const QString &path)
{
    QByteArray bytes;
    int error = 0;
    switch (regular_file::read(path, kMaxSize, bytes, error)) {
    case regular_file::Read::Ok:
        break;
    case regular_file::Read::Missing:
    case regular_file::Read::CannotOpen:
        return failed(Failure::CannotOpen, qt_error_string(error));
    case regular_file::Read::NotRegular:
        return failed(Failure::NotRegular);
    case regular_file::Read::TooLarge:
        return failed(Failure::TooLarge);
    case regular_file::Read::CannotRead:
        return failed(Failure::CannotRead, qt_error_string(error));
    }
    Contents c;
    c.absolutePath = QFileInfo(path).absoluteFilePath();
    c.lines = linesOfBytes(bytes);
    return c;
}

QStringList linesOfBytes(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = code_page::fromDevice(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return linesOfText(text);
}

QStringList linesOfText(const QString &text)
{
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

} // namespace goods_file
