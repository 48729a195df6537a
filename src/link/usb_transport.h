#pragma once

#include "link/clock.h"
#include "link/transport.h"

#include <QByteArray>
#include <QLibrary>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

// The part of the libusb-0.1 interface the USB transport uses, declared here because the
// library is loaded at run time and its header need not be installed. Layouts are those
// of the library's public structures on Linux (paths of PATH_MAX bytes).
namespace libusb0 {

constexpr int kPathMax = 4096;

struct usb_device_descriptor {
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint16_t bcdUSB;
    std::uint8_t bDeviceClass;
    std::uint8_t bDeviceSubClass;
    std::uint8_t bDeviceProtocol;
    std::uint8_t bMaxPacketSize0;
    std::uint16_t idVendor;
    std::uint16_t idProduct;
    std::uint16_t bcdDevice;
    std::uint8_t iManufacturer;
    std::uint8_t iProduct;
    std::uint8_t iSerialNumber;
    std::uint8_t bNumConfigurations;
} __attribute__((packed));

struct usb_bus;
struct usb_config_descriptor;

struct usb_device {
    usb_device *next;
    usb_device *prev;
    char filename[kPathMax + 1];
    usb_bus *bus;
    usb_device_descriptor descriptor;
    usb_config_descriptor *config;
    void *dev;
    std::uint8_t devnum;
    unsigned char num_children;
    usb_device **children;
};

struct usb_bus {
    usb_bus *next;
    usb_bus *prev;
    char dirname[kPathMax + 1];
    usb_device *devices;
    std::uint32_t location;
    usb_device *root_dev;
};

struct usb_dev_handle; // opaque

} // namespace libusb0

// The registrar's USB bulk endpoints through libusb-0.1. A request goes out in one bulk
// write; the reply is read in bulk transfers into a 500-byte buffer until its ETX, and
// the byte receiver then takes the buffer byte by byte. Broken transfers are answered by
// resetting, closing and reopening the device and sending the frame again, ten times at
// most for writes and ten for reads. The library is loaded afresh at every (re)open.
class UsbTransport final : public Transport {
public:
    static inline const QString kDefaultLibrary = QStringLiteral("libusb-0.1.so.4");
    static constexpr std::uint16_t kVendorId = 0x0483;
    static constexpr std::uint16_t kProductId = 0x5740;
    static constexpr int kConfiguration = 1;
    static constexpr int kInterface = 0;
    static constexpr int kEndpointOut = 0x01;
    static constexpr int kEndpointIn = 0x81;
    static constexpr int kTimeoutMs = 5000;
    static constexpr int kBufferSize = 500;
    static constexpr int kRepeatBudget = 10;       // repeats after the first failure
    static constexpr int kWriteFailurePauseMs = 2000;
    static constexpr int kReopenPauseMs = 1000;

    using Handle = libusb0::usb_dev_handle *;

    // `clock` carries the pauses of the exchange (the link's clock).
    explicit UsbTransport(Clock &clock, const QString &libraryPath = kDefaultLibrary);
    ~UsbTransport() override;
    UsbTransport(const UsbTransport &) = delete;
    UsbTransport &operator=(const UsbTransport &) = delete;

    // Whether the library can be loaded at all; `error` gets the loader's reason.
    static bool libraryLoadable(const QString &libraryPath = kDefaultLibrary, QString *error = nullptr);

    // (Re)opens the device: closes the current handle, reloads the library, finds the
    // first device 0483:5740 on any bus, sets configuration 1 and claims interface 0.
    // Returns the handle, or null when there is no device. A device that opened but
    // could not be configured is closed again (null).
    Handle UsbOpen();
    // 1 when the device is open and ready, else 0 (the handle is then closed). The link
    // is marked idle by DeviceLink::attachTransport when the caller hands it over.
    int UsbConnect();
    // Resets and closes the device; returns 1.
    int UsbDisconnect();
    // One bulk write to endpoint 0x01 with one reopen-and-retry. A timeout of 0 means
    // 5000 ms. The library's result, -1 when no device can be opened.
    int UsbWrite(const char *buffer, int length, int timeoutMs);
    // One bulk read from endpoint 0x81 with one reopen-and-retry: the byte count, -1 on
    // failure.
    int UsbRead(char *buffer, int size);

    // The whole exchange of one frame: writes it and reads the reply into the buffer.
    // 0 when a reply (or what came of it) is buffered, -1 when the budgets ran out.
    int Exchange(const QByteArray &frame);

    // State for the main window and for tests. libraryLoaded: whether the last (re)open
    // could load the library (libraryError then empty).
    bool libraryLoaded() const { return m_loaded; }
    QString libraryError() const { return m_libraryError; }
    QString libraryPath() const { return m_path; }
    bool opened() const { return m_opened; }
    Handle handle() const { return m_handle; }
    // The bytes the last exchange buffered, up to the first zero byte.
    QByteArray bufferedReply() const;

    // Transport
    Kind kind() const override { return Kind::Usb; }
    bool sendFrame(const QByteArray &frame) override { return Exchange(frame) == 0; }
    Read readByte(quint8 &byte) override;
    void purge() override {}
    void frameEnded() override;

private:
    struct Api;
    void loadLibrary();
    void unloadLibrary();
    void closeHandle();
    void resetAndClose();
    bool replyComplete() const;

    Clock &m_clock;
    QString m_path;
    QLibrary m_library;
    bool m_loaded = false;
    QString m_libraryError;
    std::unique_ptr<Api> m_api;
    Handle m_handle = nullptr;
    bool m_opened = false;

    std::array<char, kBufferSize> m_buffer{};
    int m_fill = 0;     // bytes buffered by the last exchange
    int m_position = 0; // next byte for the receiver
    bool m_consumed = true; // the buffer has been handed to the receiver once already
};

// Opens the registrar on USB: the transport, ready to be attached to the link, or null
// when the device is absent or cannot be configured (also when the library is missing).
std::unique_ptr<UsbTransport> openUsbTransport(Clock &clock,
                                               const QString &libraryPath = UsbTransport::kDefaultLibrary);
