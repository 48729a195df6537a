#include "scripts/goods_loader.h"

#include "app/application.h"
#include "app/goods_file.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "commands/error_decoding.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "link/frame.h"


using namespace Qt::StringLiterals;

GoodsLoader::GoodsLoader(Application &app) : m_app(app) {}

QString GoodsLoader::chooseFile()
{
    return m_app.prompter().openFile(goods_file::fileRequest());
}

bool GoodsLoader::load(const QString &path, QStringList &lines)
{
    const goods_file::Contents file = goods_file::read(path);
    if (!file.ok()) {
        m_app.prompter().showMessage(file.message(path));
        return false;
    }
    lines = file.lines;
    return true;
}

namespace {

// Why a goods line cannot go out after the password, or an empty text when it can. The
// line is the command's whole parameter text, so ";" belongs in it.
QString lineRefusal(const QByteArray &password, const QString &line, QByteArray &parameters)
{
    if (const int code = param_format::textRefusal(line, true))
        return wrapper_codes::refusalMessage(code);
    QByteArray bytes;
    code_page::toDeviceExactly(line, bytes);
    parameters = password + ';' + bytes;
    if (parameters.size() > frame::kMaxParameterLength)
        return u"Строка длиннее, чем помещается в одну команду: команда не отправлена."_s;
    return {};
}

// The registrar counts the password as field 1 of 0x24; the user reads the line, whose
// fields start after it: the registrar's field 4 is the line's field 3, the price.
QString namedField(const Verdict &v)
{
    const int field = v.kind == Verdict::Kind::RegistrarError ? error_decoding::errorField(v.errorWord) : 0;
    if (field < 1)
        return v.message;
    if (field == 1)
        return error_decoding::fieldErrorMessage(v.errorWord, u"\"Пароль\""_s);
    static const QStringList names = {u"код товара"_s, u"наименование"_s, u"цена"_s, u"налоговая группа"_s,
                                      u"номер отдела"_s};
    const int inLine = field - 1;
    QString where = u"номер %1 в строке"_s.arg(inLine);
    if (inLine <= names.size())
        where += u" (%1)"_s.arg(names[inLine - 1]);
    return error_decoding::fieldErrorMessage(v.errorWord, where);
}

} // namespace

GoodsLoader::Tally GoodsLoader::write(const QString &password, const QStringList &lines, const Progress &progress)
{
    Tally t;
    t.lines = int(lines.size());
    if (const int code = param_format::textRefusal(password)) {
        t.runRefusal = u"Пароль: "_s + wrapper_codes::refusalMessage(code);
        m_app.prompter().showMessage(t.runRefusal);
        return t;
    }
    const QByteArray pw = code_page::toDevice(password);
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray parameters;
        Verdict v;
        const QString refusal = lineRefusal(pw, lines[i], parameters);
        if (!refusal.isEmpty()) {
            v = Verdict::refused(0, refusal);
        } else {
            ++t.sent;
            v = Verdict::of(*m_app.execute(cmd::AddGoods, parameters));
            v.message = namedField(v);
        }
        switch (v.kind) {
        case Verdict::Kind::Success:
            break;
        case Verdict::Kind::NoReply:
            ++t.timedOut;
            // Without a device every further line would only fail the same way, each
            // with its own message.
            if (!m_app.link().activeTransport()) {
                t.notSent = int(lines.size()) - i - 1;
                t.timedOut += t.notSent;
            }
            break;
        case Verdict::Kind::Nak:
        case Verdict::Kind::ChecksumMismatch:
            ++t.linkFaults;
            break;
        case Verdict::Kind::Refused:
        case Verdict::Kind::RegistrarError:
            if (++t.refused == 1) {
                t.firstRefusedLine = i + 1;
                t.firstRefusal = v.message;
            }
            break;
        }
        if (progress)
            progress(i + 1, v, t);
        if (t.notSent > 0)
            break;
    }
    return t;
}

QString GoodsLoader::summary(const Tally &t)
{
    QString text = kFinished;
    if (t.refused > 0) {
        text += u"\n\nНе записано строк: "_s + QString::number(t.refused) + u" (первая - строка "_s
              + QString::number(t.firstRefusedLine) + u")."_s;
        if (!t.firstRefusal.isEmpty())
            text += u"\n"_s + t.firstRefusal;
    }
    if (t.notSent > 0)
        text += u"\n\nНет связи с регистратором: не отправлено строк: "_s + QString::number(t.notSent) + u"."_s;
    if (t.linkFaults > 0)
        text += u"\n\nСтрок без подтверждения регистратора (NAK или ошибка контрольной суммы): "_s
              + QString::number(t.linkFaults) + u"."_s;
    return text;
}

void GoodsLoader::report(const Tally &t)
{
    if (t.runRefusal.isEmpty())
        m_app.prompter().showMessage(summary(t));
}
