#include "link/usb_transport.h"

#include "link/frame.h"

#include <QHash>

#include <algorithm>
#include <cstring>

namespace {

// Bounds on the library's bus and device lists: a list longer than this is taken as
// broken rather than walked forever.
constexpr int kMaxBusses = 256;
constexpr int kMaxDevicesPerBus = 1024;
// Result of a call whose function the library does not export.
constexpr int kMissingFunction = -2;

// Transports holding each library file loaded. QLibrary objects of one file name share
// one loaded library, but a load by a second object is not counted: its unload would
// pull the library out from under the first. So only the last holder unloads.
QHash<QString, int> &holders()
{
    static QHash<QString, int> h;
    return h;
}

} // namespace

// The library's functions, looked up by name after each load; null when not exported.
struct UsbTransport::Api {
    using VoidFn = void (*)();
    using CountFn = int (*)();
    using BussesFn = libusb0::usb_bus *(*)();
    using OpenFn = libusb0::usb_dev_handle *(*)(libusb0::usb_device *);
    using HandleFn = int (*)(libusb0::usb_dev_handle *);
    using HandleIntFn = int (*)(libusb0::usb_dev_handle *, int);
    using BulkWriteFn = int (*)(libusb0::usb_dev_handle *, int, const char *, int, int);
    using BulkReadFn = int (*)(libusb0::usb_dev_handle *, int, char *, int, int);

    VoidFn init = nullptr;
    CountFn findBusses = nullptr;
    CountFn findDevices = nullptr;
    BussesFn getBusses = nullptr;
    OpenFn open = nullptr;
    HandleFn close = nullptr;
    HandleFn reset = nullptr;
    HandleIntFn setConfiguration = nullptr;
    HandleIntFn claimInterface = nullptr;
    HandleIntFn detachKernelDriver = nullptr;
    BulkWriteFn bulkWrite = nullptr;
    BulkReadFn bulkRead = nullptr;

    template <typename Fn>
    static void resolve(QLibrary &library, const char *name, Fn &target)
    {
        target = reinterpret_cast<Fn>(library.resolve(name));
    }

    int call(HandleFn fn, libusb0::usb_dev_handle *h) const { return fn ? fn(h) : kMissingFunction; }
    int call(HandleIntFn fn, libusb0::usb_dev_handle *h, int v) const { return fn ? fn(h, v) : kMissingFunction; }
};

UsbTransport::UsbTransport(Clock &clock, const QString &libraryPath)
    : m_clock(clock), m_path(libraryPath), m_library(libraryPath), m_api(std::make_unique<Api>())
{
}

UsbTransport::~UsbTransport()
{
    closeHandle();
    unloadLibrary();
}

bool UsbTransport::libraryLoadable(const QString &libraryPath, QString *error)
{
    if (holders().value(libraryPath) > 0)
        return true; // a transport has it loaded: probing must not unload it
    QLibrary library(libraryPath);
    const bool ok = library.load();
    if (!ok && error)
        *error = library.errorString();
    if (ok)
        library.unload();
    return ok;
}

void UsbTransport::loadLibrary()
{
    m_loaded = m_library.load();
    *m_api = Api{};
    if (!m_loaded) {
        m_libraryError = m_library.errorString();
        return;
    }
    ++holders()[m_path];
    m_libraryError.clear();
    Api &a = *m_api;
    Api::resolve(m_library, "usb_init", a.init);
    Api::resolve(m_library, "usb_find_busses", a.findBusses);
    Api::resolve(m_library, "usb_find_devices", a.findDevices);
    Api::resolve(m_library, "usb_get_busses", a.getBusses);
    Api::resolve(m_library, "usb_open", a.open);
    Api::resolve(m_library, "usb_close", a.close);
    Api::resolve(m_library, "usb_reset", a.reset);
    Api::resolve(m_library, "usb_set_configuration", a.setConfiguration);
    Api::resolve(m_library, "usb_claim_interface", a.claimInterface);
    Api::resolve(m_library, "usb_detach_kernel_driver_np", a.detachKernelDriver);
    Api::resolve(m_library, "usb_bulk_write", a.bulkWrite);
    Api::resolve(m_library, "usb_bulk_read", a.bulkRead);
}

void UsbTransport::unloadLibrary()
{
    if (m_loaded) {
        int &count = holders()[m_path];
        if (--count <= 0) {
            holders().remove(m_path);
            m_library.unload();
        }
    }
    m_loaded = false;
    *m_api = Api{};
}

void UsbTransport::closeHandle()
{
    m_opened = false;
    if (!m_handle)
        return;
    m_api->call(m_api->close, m_handle);
    m_handle = nullptr;
}

void UsbTransport::resetAndClose()
{
    // Without a handle there is nothing to reset: the library must never see a null one.
    if (m_handle)
        m_api->call(m_api->reset, m_handle);
    closeHandle();
}

UsbTransport::Handle UsbTransport::UsbOpen()
{
    closeHandle();
    unloadLibrary();
    loadLibrary();
    if (!m_loaded)
        return nullptr;

    const Api &a = *m_api;
    if (a.init)
        a.init();
    if (a.findBusses)
        a.findBusses();
    if (a.findDevices)
        a.findDevices();

    libusb0::usb_device *device = nullptr;
    libusb0::usb_bus *bus = a.getBusses ? a.getBusses() : nullptr;
    for (int b = 0; bus && !device && b < kMaxBusses; bus = bus->next, ++b) {
        libusb0::usb_device *d = bus->devices;
        for (int i = 0; d && i < kMaxDevicesPerBus; d = d->next, ++i) {
            if (d->descriptor.idVendor == kVendorId && d->descriptor.idProduct == kProductId) {
                device = d;
                break;
            }
        }
    }
    if (!device || !a.open)
        return nullptr;
    m_handle = a.open(device);
    if (!m_handle)
        return nullptr;

    // On Linux the kernel's serial driver holds the registrar's interfaces while it is a
    // virtual COM port; they can be configured and claimed only once it lets go.
    if (a.detachKernelDriver) {
        a.detachKernelDriver(m_handle, kInterface);
        a.detachKernelDriver(m_handle, kInterface + 1);
    }

    if (a.call(a.setConfiguration, m_handle, kConfiguration) < 0
        || a.call(a.claimInterface, m_handle, kInterface) < 0) {
        closeHandle();
        return nullptr;
    }
    m_opened = true;
    return m_handle;
}

int UsbTransport::UsbConnect()
{
    if (UsbOpen() && m_opened)
        return 1;
    closeHandle();
    return 0;
}

int UsbTransport::UsbDisconnect()
{
    resetAndClose();
    return 1;
}

int UsbTransport::UsbWrite(const char *buffer, int length, int timeoutMs)
{
    if (!m_handle && !UsbOpen())
        return -1;
    if (timeoutMs == 0)
        timeoutMs = kTimeoutMs;
    auto write = [&] {
        return m_api->bulkWrite ? m_api->bulkWrite(m_handle, kEndpointOut, buffer, length, timeoutMs)
                                : kMissingFunction;
    };
    int result = write();
    if (result <= 0) {
        if (!UsbOpen())
            return -1;
        result = write();
    }
    return std::min(result, length);
}

int UsbTransport::UsbRead(char *buffer, int size)
{
    if (!m_handle && !UsbOpen())
        return -1;
    auto read = [&] {
        return m_api->bulkRead ? m_api->bulkRead(m_handle, kEndpointIn, buffer, size, kTimeoutMs)
                               : kMissingFunction;
    };
    int result = read();
    if (result < 0) {
        if (!UsbOpen())
            return -1;
        result = read();
        if (result < 0)
            return -1;
    }
    // A library never reports more than it was given room for; if one did, the count
    // must not lead past the buffer.
    return std::min(result, size);
}

bool UsbTransport::replyComplete() const
{
    if (m_fill == 0)
        return false;
    const quint8 last = quint8(m_buffer[m_fill - 1]);
    if (last == frame::ETX)
        return true;
    // A refused request is answered with a lone NAK, which has no ETX after it.
    return last == frame::NAK && !std::memchr(m_buffer.data(), frame::SOH, size_t(m_fill));
}

int UsbTransport::Exchange(const QByteArray &frame)
{
    m_consumed = true;
    m_position = 0;
    int writeFailures = 0;
    int readFailures = 0;
    for (;;) {
        if (UsbWrite(frame.constData(), int(frame.size()), kTimeoutMs) <= 0) {
            m_clock.sleepMs(kWriteFailurePauseMs);
            resetAndClose();
            m_clock.sleepMs(kReopenPauseMs);
            UsbOpen();
            if (++writeFailures > kRepeatBudget)
                return -1;
            continue;
        }

        m_buffer.fill(0);
        m_fill = 0;
        bool readFailed = false;
        while (m_fill < kBufferSize) {
            const int n = UsbRead(m_buffer.data() + m_fill, kBufferSize - m_fill);
            if (n < 0) {
                readFailed = true;
                break;
            }
            if (n == 0)
                break; // what came so far is the reply
            m_fill += n;
            if (replyComplete())
                break;
        }
        if (!readFailed) {
            m_position = 0;
            m_consumed = false;
            return 0;
        }
        resetAndClose();
        m_clock.sleepMs(kReopenPauseMs);
        UsbOpen();
        if (++readFailures > kRepeatBudget)
            return -1;
    }
}

Transport::Read UsbTransport::readByte(quint8 &byte)
{
    if (!m_consumed && m_position < m_fill && m_buffer[m_position] != 0) {
        byte = quint8(m_buffer[m_position++]);
        return Read::Byte;
    }
    // The end of what was received (or a zero byte in it): the receiver has had the
    // buffer once and never gets it again from its start.
    m_position = 0;
    m_consumed = true;
    return Read::Exhausted;
}

void UsbTransport::frameEnded()
{
    m_position = 0;
    m_consumed = true;
}

QByteArray UsbTransport::bufferedReply() const
{
    const char *begin = m_buffer.data();
    const char *end = std::find(begin, begin + m_fill, '\0');
    return QByteArray(begin, int(end - begin));
}

std::unique_ptr<UsbTransport> openUsbTransport(Clock &clock, const QString &libraryPath)
{
    auto usb = std::make_unique<UsbTransport>(clock, libraryPath);
    if (usb->UsbConnect() != 1)
        return nullptr;
    return usb;
}
