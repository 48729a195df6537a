#include "cli/connection.h"

#include "cli/output.h"
#include "cli/send_command.h"
#include "cli/usb_ports.h"
#include "link/device_link.h"
#include "link/usb_transport.h"

#include <QFile>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

// Only async-signal-safe calls: the process may be anywhere, a blocking read included.
void onInterrupt(int)
{
    static const char kText[] = "dizivu-cli: interrupted\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kText, sizeof kText - 1);
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
