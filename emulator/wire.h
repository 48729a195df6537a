#pragma once

#include <QByteArray>
#include <QList>

#include <array>
#include <optional>

// The registrar's side of the frame protocol, written from the frame layout on its own
// so that a mistake on the program's side shows up as a failed exchange.
namespace emu {

struct Request {
    quint8 seq = 0; // the SEQ byte as received
    quint8 code = 0;
    QByteArray parameters;
};

// Bytes cut out of the input stream by RequestParser.
struct Incoming {
    enum Kind { Frame, Rejected } kind = Frame;
    Request request;
};

// Assembles request frames from a byte stream. Bytes before SOH are ignored; a frame
// whose check characters or closing ETX are wrong comes out as Rejected.
class RequestParser {
public:
    void feed(const QByteArray &bytes);
    std::optional<Incoming> next();
    void clear() { m_buffer.clear(); }

private:
    QByteArray m_buffer;
};

// The four check characters of the bytes LEN..ENQ.
QByteArray checkOf(const QByteArray &lenThroughEnq);

// A complete reply frame.
QByteArray replyFrame(quint8 seq, quint8 code, const QByteArray &errorWord, const QByteArray &data,
                      const std::array<quint8, 6> &status);

} // namespace emu
