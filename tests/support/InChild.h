#pragma once

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

// Work run in a child process, so that a limit on file sizes or a lesser
// user stays there. Under a file-size limit with SIGXFSZ ignored, a write
// past the limit fails with EFBIG, as it would on a full disk.
struct ChildLimits {
    rlim_t fileSize = 0;          // bytes; 0: no limit
    bool asNobody = false;        // as user nobody, when the test runs as root
    bool fileSizeKills = false;   // SIGXFSZ left to kill the child, as it does by default
    unsigned timeoutSeconds = 60; // a child that hangs is killed by SIGALRM
};

struct ChildOutcome {
    // False only when the work said it failed and the child ended cleanly
    // after saying so. Anything else (a crash, a signal, limits that could
    // not be set, a message cut short) counts as success, so that a broken
    // harness cannot pass for a refused write.
    bool ok = true;
    QString message;
    int signal = 0; // the signal that ended the child, if one did

    std::pair<bool, QString> said() const { return {ok, message}; }
};

// The work gives whether it succeeded and what the user would be told.
using ChildWork = std::function<std::pair<bool, QString>()>;

inline ChildOutcome inChild(const ChildWork &work, const ChildLimits &limits = {})
{
    ChildOutcome outcome;
    int fds[2];
    if (::pipe(fds) != 0) {
        outcome.message = QStringLiteral("no pipe");
        return outcome;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        outcome.message = QStringLiteral("no fork");
        return outcome;
    }
    if (pid == 0) {
        ::close(fds[0]);
        const rlimit noCore{0, 0};
        const rlimit size{limits.fileSize, limits.fileSize};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::alarm(limits.timeoutSeconds);
        if (!limits.fileSizeKills)
            ::signal(SIGXFSZ, SIG_IGN);
        const bool ready =
            (limits.fileSize == 0 || ::setrlimit(RLIMIT_FSIZE, &size) == 0) &&
            (!limits.asNobody || ::geteuid() != 0 ||
             (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0));
        if (!ready)
            ::_exit(2);
        const auto [ok, message] = work();
        // The length first, so that a message cut short is seen as such.
        const QByteArray bytes =
            QByteArray::number(message.size() * 2) + '\n' +
            QByteArray(reinterpret_cast<const char *>(message.utf16()), message.size() * 2);
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n =
                ::write(fds[1], bytes.constData() + sent, size_t(bytes.size() - sent));
            if (n <= 0)
                ::_exit(3);
            sent += n;
        }
        ::_exit(ok ? 0 : 1);
    }
    ::close(fds[1]);
    QByteArray got;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        got.append(buffer, n);
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status))
        outcome.signal = WTERMSIG(status);
    const qsizetype newline = got.indexOf('\n');
    const qsizetype length = newline < 0 ? -1 : got.left(newline).toLongLong();
    const QByteArray text = newline < 0 ? QByteArray() : got.mid(newline + 1);
    const bool whole = length >= 0 && length == text.size() && length % 2 == 0;
    if (whole) {
        outcome.message = QString(length / 2, Qt::Uninitialized);
        std::memcpy(outcome.message.data(), text.constData(), size_t(length));
    }
    outcome.ok = !(whole && WIFEXITED(status) && WEXITSTATUS(status) == 1);
    return outcome;
}
