#include "link/frame.h"

namespace frame {

QByteArray checkCharacters(quint32 sum)
{
    QByteArray out(4, '0');
    const quint32 low = sum & 0xFFFF;
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>(0x30 + ((low >> (12 - 4 * i)) & 0xF));
    return out;
}

QByteArray buildRequest(quint8 seqByte, quint8 code, const QByteArray &parameters)
{
    if (parameters.size() > kMaxParameterLength)
        return {};
    QByteArray f;
    f.reserve(parameters.size() + 10);
    f.append(char(SOH));
    f.append(char(0x20 + parameters.size() + 4));
    f.append(char(seqByte));
    f.append(char(code));
    f.append(parameters);
    f.append(char(ENQ));
    const int sumEnd = f.size(); // LEN through ENQ inclusive
    f.append("0000");
    f.append(char(ETX));
    quint32 sum = 0;
    for (int i = 1; i < sumEnd; ++i)
        sum += static_cast<quint8>(f[i]);
    f.replace(sumEnd, 4, checkCharacters(sum));
    return f;
}

} // namespace frame
