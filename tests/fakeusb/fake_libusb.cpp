// A stand-in for libusb-0.1, for tests only: two busses with a hub and another ST device,
// and the registrar (0483:5740) whose bulk endpoints lead to an in-process emulator.
// Besides the library's functions it exports fakeusb_* controls that tests resolve by
// name from the same file to inject faults and read counters.
//
// The real header is included so that the compiler checks every export against the
// library's own prototypes, and the transport's declarations against its layouts.
#include <usb.h>

#include "emulator/registrar.h"
#include "link/usb_transport.h"

#include <QByteArray>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>

// The transport declares the structures itself; they must match the library's.
using RealDevice = struct ::usb_device;
static_assert(sizeof(libusb0::usb_device_descriptor) == sizeof(::usb_device_descriptor));
static_assert(offsetof(libusb0::usb_device_descriptor, idVendor) == offsetof(::usb_device_descriptor, idVendor));
static_assert(offsetof(libusb0::usb_device_descriptor, idProduct) == offsetof(::usb_device_descriptor, idProduct));
static_assert(sizeof(libusb0::usb_device) == sizeof(RealDevice));
static_assert(offsetof(libusb0::usb_device, next) == offsetof(RealDevice, next));
static_assert(offsetof(libusb0::usb_device, bus) == offsetof(RealDevice, bus));
static_assert(offsetof(libusb0::usb_device, descriptor) == offsetof(RealDevice, descriptor));
static_assert(offsetof(libusb0::usb_device, config) == offsetof(RealDevice, config));
static_assert(sizeof(libusb0::usb_bus) == sizeof(::usb_bus));
static_assert(offsetof(libusb0::usb_bus, next) == offsetof(::usb_bus, next));
static_assert(offsetof(libusb0::usb_bus, devices) == offsetof(::usb_bus, devices));

struct usb_dev_handle {
    struct usb_device *device = nullptr;
};

namespace {

constexpr int kPacketSize = 64;

struct State {
    std::unique_ptr<emu::Registrar> registrar;
    bool present = true;
    bool busesFound = false;
    bool devicesFound = false;
    bool kernelDriver = false;
    int failSetConfiguration = 0;
    int failClaim = 0;
    int failWrites = 0;
    int failReads = 0;
    int split = 1;
    int zeroLengthAfter = -1;
    int zeroByteAt = -1;
    int leadingSyn = 0;
    std::deque<QByteArray> packets;
    std::set<usb_dev_handle *> handles;
    std::map<std::string, int> counters;

    State() = default;
    State(const State &) = delete;
    State &operator=(const State &) = delete;
    // Handles the code under test never closed go with the library.
    ~State()
    {
        for (usb_dev_handle *h : handles)
            delete h;
    }
};

// Destroyed when the library is unloaded (or at exit).
State &state()
{
    static State s;
    return s;
}

emu::Registrar &registrar()
{
    State &s = state();
    if (!s.registrar)
        s.registrar = std::make_unique<emu::Registrar>();
    return *s.registrar;
}

usb_bus g_bus1;
usb_bus g_bus2;
struct usb_device g_hub1;
struct usb_device g_hub2;
struct usb_device g_stlink;
struct usb_device g_registrar;

void count(const char *name, int by = 1)
{
    state().counters[name] += by;
}

void setDevice(struct usb_device &d, usb_bus &bus, uint16_t vendor, uint16_t product, const char *name)
{
    std::memset(&d, 0, sizeof d);
    std::strncpy(d.filename, name, sizeof d.filename - 1);
    d.bus = &bus;
    d.descriptor.bLength = USB_DT_DEVICE_SIZE;
    d.descriptor.bDescriptorType = USB_DT_DEVICE;
    d.descriptor.idVendor = vendor;
    d.descriptor.idProduct = product;
}

void link(struct usb_device *first, struct usb_device *second)
{
    first->next = second;
    if (second)
        second->prev = first;
}

// Bus 001: a hub. Bus 002: a hub, an ST-LINK (same vendor, other product), the registrar.
void buildBusses(bool withDevices)
{
    std::memset(&g_bus1, 0, sizeof g_bus1);
    std::memset(&g_bus2, 0, sizeof g_bus2);
    std::strcpy(g_bus1.dirname, "001");
    std::strcpy(g_bus2.dirname, "002");
    g_bus1.next = &g_bus2;
    g_bus2.prev = &g_bus1;
    setDevice(g_hub1, g_bus1, 0x1d6b, 0x0002, "001");
    setDevice(g_hub2, g_bus2, 0x1d6b, 0x0002, "001");
    setDevice(g_stlink, g_bus2, 0x0483, 0x3748, "004");
    setDevice(g_registrar, g_bus2, 0x0483, 0x5740, "007");
    if (!withDevices)
        return;
    g_bus1.devices = &g_hub1;
    g_bus2.devices = &g_hub2;
    link(&g_hub2, &g_stlink);
    link(&g_stlink, state().present ? &g_registrar : nullptr);
}

bool live(usb_dev_handle *h)
{
    if (h && state().handles.count(h))
        return true;
    count("bad_handle");
    return false;
}

[[maybe_unused]] void queueReply(const QByteArray &request)
{
    State &s = state();
    s.packets.clear();
    QByteArray reply;
    QList<QByteArray> chunks;
    for (const emu::Chunk &c : registrar().receive(request))
        chunks << c.bytes;
    if (s.leadingSyn > 0) {
        const QByteArray syn(s.leadingSyn, char(0x16));
        for (int i = 0; i < syn.size(); i += kPacketSize)
            s.packets.push_back(syn.mid(i, kPacketSize));
        s.leadingSyn = 0;
    }
    for (const QByteArray &c : chunks)
        reply += c;
    if (reply.isEmpty())
        return;
    if (s.zeroByteAt >= 0 && s.zeroByteAt < reply.size()) {
        reply[s.zeroByteAt] = '\0';
        s.zeroByteAt = -1;
    }
    QList<QByteArray> pieces;
    if (s.split > 1) {
        const int step = (int(reply.size()) + s.split - 1) / s.split;
        for (int i = 0; i < reply.size(); i += step)
            pieces << reply.mid(i, step);
    } else {
        // As the registrar sends it: one packet per burst.
        int at = 0;
        for (const QByteArray &c : chunks) {
            if (c.isEmpty())
                continue;
            pieces << reply.mid(at, c.size());
            at += int(c.size());
        }
    }
    if (s.zeroLengthAfter >= 0) {
        // A zero-length packet after that many bytes; the rest follows it.
        QList<QByteArray> cut;
        int seen = 0;
        bool placed = false;
        for (const QByteArray &p : pieces) {
            if (!placed && seen + p.size() > s.zeroLengthAfter) {
                const int head = s.zeroLengthAfter - seen;
                if (head > 0)
                    cut << p.left(head);
                cut << QByteArray();
                cut << p.mid(head);
                placed = true;
            } else {
                cut << p;
            }
            seen += int(p.size());
        }
        pieces = cut;
        s.zeroLengthAfter = -1;
    }
    for (const QByteArray &p : pieces)
        s.packets.push_back(p);
}

} // namespace

struct usb_bus *usb_busses = nullptr;

extern "C" {

void usb_init(void)
{
    State &s = state();
    registrar();
    s.busesFound = false;
    s.devicesFound = false;
    usb_busses = nullptr;
    count("inits");
}

void usb_set_debug(int) {}

int usb_find_busses(void)
{
    state().busesFound = true;
    buildBusses(false);
    usb_busses = &g_bus1;
    return 2;
}

int usb_find_devices(void)
{
    if (!state().busesFound)
        return 0;
    state().devicesFound = true;
    buildBusses(true);
    return state().present ? 4 : 3;
}

struct usb_bus *usb_get_busses(void)
{
    return state().busesFound ? &g_bus1 : nullptr;
}

usb_dev_handle *usb_open(struct usb_device *dev)
{
    count("opens");
    if (dev != &g_registrar) {
        count("wrong_device_opens");
        return nullptr;
    }
    if (!state().present)
        return nullptr;
    auto *h = new usb_dev_handle;
    h->device = dev;
    state().handles.insert(h);
    return h;
}

int usb_close(usb_dev_handle *dev)
{
    count("closes");
    if (!live(dev))
        return -EBADF;
    state().handles.erase(dev);
    delete dev;
    return 0;
}

struct usb_device *usb_device(usb_dev_handle *dev)
{
    return live(dev) ? dev->device : nullptr;
}

int usb_get_string(usb_dev_handle *, int, int, char *, size_t) { return -ENOSYS; }
int usb_get_string_simple(usb_dev_handle *, int, char *, size_t) { return -ENOSYS; }
int usb_get_descriptor_by_endpoint(usb_dev_handle *, int, unsigned char, unsigned char, void *, int) { return -ENOSYS; }
int usb_get_descriptor(usb_dev_handle *, unsigned char, unsigned char, void *, int) { return -ENOSYS; }
int usb_interrupt_write(usb_dev_handle *, int, const char *, int, int) { return -ENOSYS; }
int usb_interrupt_read(usb_dev_handle *, int, char *, int, int) { return -ENOSYS; }
int usb_control_msg(usb_dev_handle *, int, int, int, int, char *, int, int) { return -ENOSYS; }
int usb_release_interface(usb_dev_handle *, int) { return 0; }
int usb_set_altinterface(usb_dev_handle *, int) { return 0; }
int usb_resetep(usb_dev_handle *, unsigned int) { return 0; }
int usb_clear_halt(usb_dev_handle *, unsigned int) { return 0; }
char *usb_strerror(void) { return const_cast<char *>("fake"); }

int usb_set_configuration(usb_dev_handle *dev, int configuration)
{
    State &s = state();
    count("set_configurations");
    s.counters["last_configuration"] = configuration;
    if (!live(dev))
        return -EBADF;
    if (!s.present)
        return -ENODEV;
    if (s.kernelDriver)
        return -EBUSY; // the kernel's serial driver holds the interfaces
    if (s.failSetConfiguration > 0) {
        --s.failSetConfiguration;
        return -EPIPE;
    }
    return 0;
}

int usb_claim_interface(usb_dev_handle *dev, int interface)
{
    State &s = state();
    count("claims");
    s.counters["last_interface"] = interface;
    if (!live(dev))
        return -EBADF;
    if (s.kernelDriver)
        return -EBUSY;
    if (s.failClaim > 0) {
        --s.failClaim;
        return -EBUSY;
    }
    return 0;
}

int usb_detach_kernel_driver_np(usb_dev_handle *dev, int interface)
{
    count("detaches");
    if (!live(dev))
        return -EBADF;
    if (interface == 0 && state().kernelDriver) {
        state().kernelDriver = false;
        return 0;
    }
    return -ENODATA;
}

int usb_get_driver_np(usb_dev_handle *, int, char *, unsigned int) { return -ENODATA; }

int usb_reset(usb_dev_handle *dev)
{
    count("resets");
    if (!live(dev))
        return -EBADF;
    state().packets.clear();
    return state().present ? 0 : -ENODEV;
}

#ifndef FAKEUSB_WITHOUT_BULK
int usb_bulk_write(usb_dev_handle *dev, int ep, const char *bytes, int size, int timeout)
{
    State &s = state();
    count("writes");
    if (ep != 0x01 || timeout != 5000)
        count("bad_write_arguments");
    if (!live(dev))
        return -EBADF;
    if (!s.present)
        return -ENODEV;
    if (s.failWrites > 0) {
        --s.failWrites;
        return -EIO;
    }
    if (!bytes || size <= 0)
        return -EINVAL;
    count("frames_written");
    queueReply(QByteArray(bytes, size));
    return size;
}

int usb_bulk_read(usb_dev_handle *dev, int ep, char *bytes, int size, int timeout)
{
    State &s = state();
    count("reads");
    s.counters["last_read_size"] = size;
    count("read_room", size);
    if (ep != 0x81 || timeout != 5000)
        count("bad_read_arguments");
    if (!live(dev))
        return -EBADF;
    if (!s.present)
        return -ENODEV;
    if (s.failReads > 0) {
        --s.failReads;
        return -EIO;
    }
    if (!bytes || size <= 0)
        return -EINVAL;
    if (s.packets.empty())
        return -ETIMEDOUT; // the registrar says nothing within the time-out
    QByteArray &p = s.packets.front();
    const int n = qMin(int(p.size()), size);
    std::memcpy(bytes, p.constData(), size_t(n));
    if (n == p.size())
        s.packets.pop_front();
    else
        p.remove(0, n);
    count("bytes_read", n);
    return n;
}
#endif

// ---- controls for the tests ----

// Everything back to the start: a fresh registrar, the device present, no faults.
void fakeusb_reset(void)
{
    State &s = state();
    for (usb_dev_handle *h : s.handles)
        delete h;
    s.handles.clear();
    s.registrar = std::make_unique<emu::Registrar>();
    s.present = true;
    s.busesFound = s.devicesFound = s.kernelDriver = false;
    s.failSetConfiguration = s.failClaim = s.failWrites = s.failReads = 0;
    s.split = 1;
    s.zeroLengthAfter = s.zeroByteAt = -1;
    s.leadingSyn = 0;
    s.packets.clear();
    s.counters.clear();
}

// 0: the registrar is unplugged (not listed; open handles fail with ENODEV).
void fakeusb_set_present(int present) { state().present = present != 0; }
// The kernel's serial driver holds the device until it is detached.
void fakeusb_set_kernel_driver(int bound) { state().kernelDriver = bound != 0; }
void fakeusb_fail_set_configuration(int times) { state().failSetConfiguration = times; }
void fakeusb_fail_claim(int times) { state().failClaim = times; }
void fakeusb_fail_writes(int times) { state().failWrites = times; }
void fakeusb_fail_reads(int times) { state().failReads = times; }
// Every reply from now on in that many packets (1: one packet per burst).
void fakeusb_split_reply(int packets) { state().split = packets; }
// The next reply: a zero-length packet after that many bytes.
void fakeusb_zero_length_after(int bytes) { state().zeroLengthAfter = bytes; }
// The next reply: the byte at that offset is 0.
void fakeusb_zero_byte_at(int offset) { state().zeroByteAt = offset; }
// The next reply: that many SYN bytes before it, in packets of 64.
void fakeusb_leading_syn(int count) { state().leadingSyn = count; }
// An emulator fault (emu::Fault::Kind) on the next exchange.
void fakeusb_inject_fault(int kind, int count, int intervalMs)
{
    registrar().injectFault(emu::Fault{emu::Fault::Kind(kind), count, intervalMs});
}
// A counter by name ("opens", "closes", "resets", "inits", "writes", "reads",
// "frames_written", "bytes_read", "read_room", "last_read_size", "bad_handle", ...), or
// "open_handles", "frames_received" (by the registrar), "pending_packets".
int fakeusb_counter(const char *name)
{
    State &s = state();
    const std::string n(name ? name : "");
    if (n == "open_handles")
        return int(s.handles.size());
    if (n == "frames_received")
        return registrar().framesReceived();
    if (n == "pending_packets")
        return int(s.packets.size());
    const auto it = s.counters.find(n);
    return it == s.counters.end() ? 0 : it->second;
}

} // extern "C"
