#include "ui/status_view.h"

#include "app/application.h"
#include "app/identification.h"
#include "commands/command_codes.h"
#include "commands/command_wrappers.h"
#include "link/command_result.h"

namespace {

// The byte-5 captions follow the family the connection settled on. The caption helper
// tells the family from a model name, so it gets a name of that family whenever the
// state's own name would tell otherwise.
QString captionModel(const AppState &state)
{
    if (status_bytes::reportsDataTransfer(state.modelName) == state.dataTransferFamily)
        return state.modelName;
    return state.dataTransferFamily ? QStringLiteral("KM-1") : QString();
}

} // namespace

StatusView::StatusView(Application &app) : m_app(app) {}

StatusDisplay StatusView::display(const CommandResult *result, const QString &modelName,
                                  status_bytes::Connection connection)
{
    StatusDisplay d;
    for (int byte = 0; byte < status_bytes::kByteCount; ++byte) {
        StatusDisplay::Group &g = d.groups[byte];
        g.title = status_bytes::byteTitle(byte);
        const QStringList captions = status_bytes::bitCaptions(byte, modelName, connection);
        for (int bit = 0; bit < status_bytes::kBitCount; ++bit) {
            g.captions[bit] = captions.value(bit);
            // The record keeps the bytes with bit 7 cleared; the registrar always sets it, so
            // the box shows it set even before the first reply.
            g.ticked[bit] = bit == 7 || (result && (result->status[byte] & (1u << bit)));
        }
    }
    d.receiptStates = status_bytes::receiptStateTexts();
    if (result)
        d.receiptState = status_bytes::receiptState(result->status[2]);
    return d;
}

StatusDisplay StatusView::current() const
{
    const AppState &s = m_app.state();
    return display(s.currentResult, captionModel(s),
                   s.usbConnected ? status_bytes::Connection::Usb
                                  : status_bytes::Connection::Serial);
}

QString StatusView::identityText(const CommandResult &diagnostic)
{
    return identification::identityText(diagnostic);
}

Outcome<QString> StatusView::refresh()
{
    int code = 0;
    const CommandResult *r = m_app.execute(getDiagnosticInfo, QString::fromLatin1(cmd::kDefaultPassword), code);
    Outcome<QString> out{Verdict::of(*r), {}};
    if (!out.ok()) {
        m_app.prompter().showMessage(QStringLiteral("Проверка состояния регистратора:\n  ") + out.verdict.message);
        return out;
    }
    m_app.state().paymentFormCount = identification::paymentFormCount(*r);
    out.shown = identityText(*r);
    return out;
}
