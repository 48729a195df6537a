#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

// Root passes the system's access checks whatever a file's mode says, an ordinary user
// does not: code that decides by them takes one branch or the other depending on who runs
// the tests. runAs() runs a check in a child process as either, whoever runs the suite:
// root in a user namespace of its own (root over the caller's files) when the caller is
// not root, "nobody" when the caller is root. The files the check needs must be reachable
// by "nobody".
enum class Identity { Root, OrdinaryUser };

struct AsIdentity {
    bool ran = false;  // false: this system does not let the test take that identity
    bool passed = false;
    QString why;       // why it did not run
};

namespace as_identity_detail {

inline bool writeFile(const char *path, const QByteArray &text)
{
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.constData(), size_t(text.size())) == ssize_t(text.size());
    ::close(fd);
    return ok;
}

// In the child: become `who`; false when the system refuses.
inline bool become(Identity who)
{
    const bool root = ::geteuid() == 0;
    if (who == Identity::Root) {
        if (root)
            return true;
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        return ::unshare(CLONE_NEWUSER) == 0 && writeFile("/proc/self/setgroups", "deny")
               && writeFile("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1")
               && writeFile("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1") && ::geteuid() == 0;
    }
    if (!root)
        return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

} // namespace as_identity_detail

inline AsIdentity runAs(Identity who, const std::function<bool()> &check)
{
    AsIdentity r;
    const pid_t pid = ::fork();
    if (pid < 0) {
        r.why = QStringLiteral("fork failed");
        return r;
    }
    if (pid == 0) {
        if (!as_identity_detail::become(who))
            ::_exit(77);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        r.why = who == Identity::Root ? QStringLiteral("this system allows no user namespace, so no root over our files")
                                      : QStringLiteral("cannot become \"nobody\"");
        return r;
    }
    r.ran = true;
    r.passed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}
