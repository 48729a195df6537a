#include "ui/status_view.h"

#include "app/identification.h"

#include "app/application.h"
#include "link/code_page.h"
#include "link/command_result.h"
#include "commands/command_wrappers.h"
#include "commands/error_decoding.h"

namespace {

const QString kDefaultPassword = QStringLiteral("482913");

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
            // The record keeps the bytes with bit 7 cleared; the registrar always sets it.
            g.ticked[bit] = result && (bit == 7 || (result->status[byte] & (1u << bit)));
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

bool StatusView::refresh(QString &statusText)
{
    int code = 0;
    CommandResult *r = getDiagnosticInfo(m_app.link(), kDefaultPassword, code);
    m_app.state().currentResult = r;

    QString message;
    if (!DecodeError(*r, message)) {
        m_app.prompter().showMessage(QStringLiteral("Проверка состояния регистратора:\n  ") + message);
        return false;
    }
    m_app.state().paymentFormCount = identification::paymentFormCount(*r);
    statusText = identityText(*r);
    return true;
}
