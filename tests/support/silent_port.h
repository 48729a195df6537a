#pragma once

#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

// A pseudo-terminal nobody answers on: a serial socket with no cable. The slave's path is
// the port; it stays there while the object lives.
class SilentPort {
public:
    SilentPort()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_path = QString::fromLocal8Bit(::ptsname(m_master));
    }
    ~SilentPort()
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    SilentPort(const SilentPort &) = delete;
    SilentPort &operator=(const SilentPort &) = delete;
    QString path() const { return m_path; }

private:
    int m_master = -1;
    QString m_path;
};
