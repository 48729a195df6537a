#include "cli/connection.h"

#include "cli/output.h"
#include "cli/send_command.h"
#include "cli/usb_ports.h"
#include "link/device_link.h"
#include "link/usb_transport.h"

#include <QFile>

#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

// Shared with the handler: only lock-free atomics and a buffer written before its length.
volatile std::sig_atomic_t g_held = 0;
volatile std::sig_atomic_t g_pending = 0;
char g_note[512];
volatile std::sig_atomic_t g_noteLength = 0;

void say(const char *text, std::size_t n)
{
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text, n);
}

// Only async-signal-safe calls: the process may be anywhere, a blocking read included.
void onInterrupt(int)
{
    if (g_held && !g_pending) {
        g_pending = 1;
        static const char kHeld[] =
            "dizivu-cli: interrupt held until the card payment is recorded; interrupt again to end at once\n";
        say(kHeld, sizeof kHeld - 1);
        return;
    }
    if (g_noteLength > 0)
        say(g_note, std::size_t(g_noteLength));
    static const char kText[] = "dizivu-cli: interrupted\n";
    say(kText, sizeof kText - 1);
    ::_exit(Interrupted);
}

} // namespace

void installInterruptHandlers()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void holdInterrupts(bool hold)
{
    g_held = hold ? 1 : 0;
}

void setInterruptNote(const QString &note)
{
    g_noteLength = 0;
    const QByteArray bytes = (QStringLiteral("dizivu-cli: ") + note + QLatin1Char('\n')).toUtf8().left(sizeof g_note);
    std::memcpy(g_note, bytes.constData(), std::size_t(bytes.size()));
    g_noteLength = std::sig_atomic_t(bytes.size());
}

bool interruptPending()
{
    return g_pending != 0;
}

bool connectionChosen(const Options &o, FILE *err)
{
    if (o.port.isEmpty() && !o.usb)
        return fail(err, false, QStringLiteral("--port or --usb is required"));
    if (!o.port.isEmpty() && o.usb)
        return fail(err, false, QStringLiteral("--port and --usb exclude each other"));
    return true;
}

bool openConnection(DeviceLink &link, const Options &o, FILE *err)
{
    link.Log().SetLogFileName(o.logName);
    link.Log().setCommentsEnabled(o.comments);
    if (o.usb) {
        if (!attachUsb(link, o.usbLibrary.isEmpty() ? UsbTransport::kDefaultLibrary : o.usbLibrary, err))
            return false;
    } else if (!link.OpenSerial(o.port, o.speed)) {
        printLine(err, QStringLiteral("Невозможно подключить порт"));
        return false;
    }
    link.SetReplyCount(o.reply);
    // A no-op on USB, as in the desktop program. Unanswered even after its repeats, it
    // does not stop the connection: the verb's own command says whether the registrar is there.
    if (o.startup)
        link.SendStartupFrame();
    return true;
}

bool refusedAsFile(const QString &path, QString &error)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    if (S_ISREG(st.st_mode))
        return false;
    error = QStringLiteral("%1 is not a regular file").arg(path);
    return true;
}

} // namespace cli
