// Logo memory, flash memory and the firmware image.
#include "emulator/domains.h"

#include <QRandomGenerator>

namespace emu {

namespace {

constexpr int kLogoLineBytes = 24;
constexpr int kFlashBlock = 50;
// LEN is one byte: a reply carries at most this much data.
constexpr int kReplyData = 0xFF - 0x30;

bool hexText(const QByteArray &s)
{
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

// A device fault of the flash memory: class 1, detail 4.
Outcome flashFault()
{
    return refuse(0x01, 4);
}

// ---- Logo ---------------------------------------------------------------------------

// Line number; 48 hexadecimal characters. The line must lie inside the logo memory.
Outcome setUserLogo(State &s, const Fields &f)
{
    qint64 line = 0;
    if (!digitsValue(f.value(1), 6, line))
        return refuse(errorClass::fieldFormat, 2);
    const QByteArray hex = f.value(2);
    if (hex.size() != 2 * kLogoLineBytes || !hexText(hex))
        return refuse(errorClass::fieldFormat, 3);
    const qint64 at = line * kLogoLineBytes;
    if (at + kLogoLineBytes > s.options.logoMemory)
        return refuse(errorClass::fieldRange, 2);
    if (s.logo.size() < at + kLogoLineBytes)
        s.logo.resize(at + kLogoLineBytes, '\0');
    s.logo.replace(at, kLogoLineBytes, QByteArray::fromHex(hex));
    return {};
}

// Width; height: the logo programmed must fit the printer's width and the logo memory.
Outcome logoData(State &s, const Fields &f)
{
    qint64 w = 0, h = 0;
    if (!digitsValue(f.value(1), 6, w))
        return refuse(errorClass::fieldFormat, 2);
    if (!digitsValue(f.value(2), 6, h))
        return refuse(errorClass::fieldFormat, 3);
    if (w < 1 || w > s.options.logoWidth)
        return refuse(errorClass::fieldRange, 2);
    if (h < 1 || (w + 7) / 8 * h > s.options.logoMemory)
        return refuse(errorClass::fieldRange, 3);
    s.logoWidth = int(w);
    s.logoHeight = int(h);
    return {};
}

// ---- Flash --------------------------------------------------------------------------

QByteArray &flash(State &s)
{
    if (s.flash.isEmpty() && s.options.memory.flashSize > 0) {
        // The same seed gives the same memory, so a test knows what it should read.
        s.flash.resize(s.options.memory.flashSize);
        QRandomGenerator g(s.options.memory.seed);
        for (qsizetype i = 0; i < s.flash.size(); ++i)
            s.flash[i] = char(g.generate() & 0xFF);
    }
    return s.flash;
}

// "Обнуление": every byte 0.
Outcome eraseFlash(State &s, const Fields &)
{
    flash(s).fill('\0');
    return {};
}

// Address: up to 50 bytes from there, fewer at the end of the memory, none past it.
Outcome readFlash(State &s, const Fields &f)
{
    qint64 address = 0;
    if (!digitsValue(f.value(1), 19, address))
        return refuse(errorClass::fieldFormat, 2);
    RegistrarOptions::Memory &m = s.options.memory;
    if (auto fault = m.readFaults.find(address); fault != m.readFaults.end() && fault.value() > 0) {
        --fault.value();
        return flashFault();
    }
    const QByteArray &mem = flash(s);
    const qint64 n = address >= mem.size() ? 0 : qMin<qint64>(kFlashBlock, mem.size() - address);
    QByteArray hex = mem.mid(address, n).toHex().toUpper();
    if (m.badData.contains(address) && !hex.isEmpty())
        hex[hex.size() / 2] = 'G';
    // Past the end there is no data field at all: "0;;" would read as one field "0;".
    Outcome o;
    o.data = QByteArray::number(n) + ';' + (hex.isEmpty() ? QByteArray() : hex + ';');
    return o;
}

// Address; n (1 to 50); 2n hexadecimal characters. The block must lie inside the memory.
Outcome writeFlash(State &s, const Fields &f)
{
    qint64 address = 0, n = 0;
    if (!digitsValue(f.value(1), 19, address))
        return refuse(errorClass::fieldFormat, 2);
    if (!digitsValue(f.value(2), 3, n))
        return refuse(errorClass::fieldFormat, 3);
    const QByteArray hex = f.value(3);
    if (hex.size() != 2 * n || !hexText(hex))
        return refuse(errorClass::fieldFormat, 4);
    QByteArray &mem = flash(s);
    if (n < 1 || n > kFlashBlock)
        return refuse(errorClass::fieldRange, 3);
    if (address + n > mem.size())
        return refuse(errorClass::fieldRange, 2);
    mem.replace(address, n, QByteArray::fromHex(hex));
    return {};
}

// ---- Firmware -----------------------------------------------------------------------

QByteArray &firmware(State &s)
{
    if (s.firmware.isEmpty()) {
        const RegistrarOptions::Memory &m = s.options.memory;
        if (!m.firmware.isEmpty()) {
            s.firmware = m.firmware;
        } else {
            // Every byte value occurs, so every escape is exercised.
            s.firmware.resize(m.firmwareSize);
            QRandomGenerator g(m.seed ^ 0x5A5A5A5Au);
            for (qsizetype i = 0; i < s.firmware.size(); ++i)
                s.firmware[i] = char(g.generate() & 0xFF);
        }
    }
    return s.firmware;
}

// The packet text: a byte that would end a field or the frame (";", control bytes) and
// the escape character itself go as "\" followed by the byte plus 40h.
bool escaped(char b)
{
    const auto u = quint8(b);
    return u < 0x20 || b == ';' || b == '\\';
}

// Selector 5 selects the software; the reply gives its size.
Outcome setDataSource(State &s, const Fields &f)
{
    if (f.value(1) != "5")
        return refuse(errorClass::fieldRange, 2);
    s.firmwareSelected = true;
    s.firmwareOffset = 0;
    s.nextPacket = s.options.memory.firstPacket;
    Outcome o;
    const qint64 announced = s.options.memory.announcedSize;
    o.data = QByteArray::number(announced >= 0 ? announced : firmware(s).size()) + ';';
    return o;
}

// The next packet: its number and its escaped bytes; an empty packet after the last.
Outcome readDataFromBuf(State &s, const Fields &)
{
    if (!s.firmwareSelected)
        return refuse(0x07, 0);
    const QByteArray &image = firmware(s);
    const QByteArray number = QByteArray::number(s.nextPacket++);
    const qsizetype room = kReplyData - number.size() - 2;
    QByteArray text;
    int bytes = 0;
    while (s.firmwareOffset < image.size() && bytes < s.options.memory.packetBytes) {
        const char b = image[s.firmwareOffset];
        const int width = escaped(b) ? 2 : 1;
        if (text.size() + width > room)
            break;
        if (width == 2) {
            text += '\\';
            text += char(quint8(b) + 0x40);
        } else {
            text += b;
        }
        ++s.firmwareOffset;
        ++bytes;
    }
    // The empty packet after the last is its number alone.
    Outcome o;
    o.data = number + ';' + (text.isEmpty() ? QByteArray() : text + ';');
    return o;
}

} // namespace

void registerMemory(HandlerTable &table)
{
    table.add(cmd::SetUserLogo, setUserLogo, 3);
    table.add(cmd::LogoData, logoData, 3);
    table.add(cmd::EraseFlash, eraseFlash, 1);
    table.add(cmd::ReadFlash, readFlash, 2);
    table.add(cmd::WriteFlash, writeFlash, 4);
    table.add(cmd::SetDataSource, setDataSource, 4);
    table.add(cmd::ReadDataFromBuf, readDataFromBuf, 1);
}

} // namespace emu
