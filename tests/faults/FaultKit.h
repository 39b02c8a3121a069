#pragma once
// Shared pieces of the fault suite: the tally behind each suite's summary
// line, the hang guard around a poll tick, and the ways faults are injected
// (dropping root for permission faults, a file that vanishes on open).

#include "WindowFixture.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Counts the inputs a suite tried and the test rows that failed, and prints
// one summary line when the suite ends.
class FaultTally
{
public:
    explicit FaultTally(const char *suite) : m_suite(suite) {}
    void tried(int inputs = 1) { m_inputs += inputs; }
    // Call from cleanup(): runs once per test row.
    void rowDone()
    {
        if (QTest::currentTestFailed())
            ++m_failures;
    }
    void report() const
    {
        qInfo().noquote() << QStringLiteral("fault summary: %1: %2 inputs tried, %3 failures")
                                 .arg(QString::fromLatin1(m_suite))
                                 .arg(m_inputs)
                                 .arg(m_failures);
    }

private:
    const char *m_suite;
    int m_inputs = 0;
    int m_failures = 0;
};

// The longest the interface thread may be held by one step. Address and
// undefined-behaviour checks make every memory access several times dearer,
// so a checked build gets a proportional allowance; a hang still trips it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr qint64 StallLimitMs = 4000;
#else
inline constexpr qint64 StallLimitMs = 1000;
#endif

inline bool withinStallLimit(qint64 ms)
{
    return ms < StallLimitMs;
}

inline QByteArray stallMessage(qint64 ms)
{
    return QStringLiteral("the interface was held for %1 ms").arg(ms).toUtf8();
}

// One poll tick, as the timer would run it, guarded against a stall.
inline qint64 timedTick(WindowFixture &w)
{
    QElapsedTimer clock;
    clock.start();
    w.tick();
    const qint64 ms = clock.elapsed();
    [&] { QVERIFY2(withinStallLimit(ms), stallMessage(ms).constData()); }();
    return ms;
}

inline std::string bytesOf(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

// Runs as an ordinary user for its lifetime when the tests run as root, so
// that permission bits mean something. The saved user id stays root, which
// lets the destructor take root back. Without root it does nothing.
class AsOrdinaryUser
{
public:
    static constexpr uid_t Nobody = 65534;
    AsOrdinaryUser()
    {
        if (::geteuid() != 0)
            return;
        m_active = ::setresgid(Nobody, Nobody, 0) == 0 && ::setresuid(Nobody, Nobody, 0) == 0;
    }
    ~AsOrdinaryUser()
    {
        if (!m_active)
            return;
        if (::setresuid(0, 0, 0) != 0 || ::setresgid(0, 0, 0) != 0)
            qFatal("could not take root back");
    }
    AsOrdinaryUser(const AsOrdinaryUser &) = delete;
    AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;

    bool ok() const { return m_active || ::geteuid() != 0; }

    // Hands a path to the ordinary user, so it can be made read-only for it.
    static bool giveAway(const QString &path)
    {
        return ::geteuid() != 0 || ::chown(QFile::encodeName(path).constData(), Nobody, Nobody) == 0;
    }

private:
    bool m_active = false;
};

// Deletes a chosen file at the moment the program opens it for reading: the
// path is checked by the seccomp supervisor when the open is made and the file
// is unlinked before the kernel resumes the open, so the program sees a file
// that existed at its stamp and is gone at its open. The filter covers only
// the thread that installs it and only read-only, non-blocking opens.
class VanishOnOpen
{
public:
    // Installs the filter on the calling thread; false when the kernel or the
    // process's rights do not allow it (see why()).
    static VanishOnOpen *install()
    {
        static VanishOnOpen *instance = nullptr;
        if (instance)
            return instance;
        auto *v = new VanishOnOpen; // lives as long as the filter, i.e. the thread
        if (!v->start()) {
            s_why = v->m_why;
            delete v;
            return nullptr;
        }
        instance = v;
        return instance;
    }
    static QString why() { return s_why; }

    // The next open of exactly this path unlinks it first.
    void arm(const std::string &path)
    {
        m_target = path;
        m_fired = false;
        m_armed = true;
    }
    bool fired() const { return m_fired; }

private:
    VanishOnOpen() = default;

    bool start()
    {
        const unsigned watchedFlags = O_RDONLY | O_NONBLOCK;
        sock_filter program[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            // Low word of the flags argument: read-only, non-blocking opens only.
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
            BPF_STMT(BPF_ALU | BPF_AND | BPF_K, O_ACCMODE | O_NONBLOCK),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, watchedFlags, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
        };
        sock_fprog fprog{static_cast<unsigned short>(sizeof program / sizeof program[0]), program};
        if (::geteuid() != 0 && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
            m_why = QStringLiteral("no_new_privs refused: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        const long fd = ::syscall(__NR_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &fprog);
        if (fd < 0) {
            m_why = QStringLiteral("seccomp listener refused: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        m_listener = static_cast<int>(fd);
        std::thread([this] { supervise(); }).detach();
        return true;
    }

    // Runs for the rest of the process: the filter cannot be removed, and
    // without a listener the watched opens would fail.
    void supervise()
    {
        for (;;) {
            seccomp_notif request{};
            if (::ioctl(m_listener, SECCOMP_IOCTL_NOTIF_RECV, &request) != 0) {
                if (errno == EINTR || errno == ENOENT)
                    continue;
                return;
            }
            // Same process, so the path pointer is readable directly.
            const char *path = reinterpret_cast<const char *>(request.data.args[1]);
            if (m_armed && path && m_target == path) {
                ::unlink(path);
                m_armed = false;
                m_fired = true;
            }
            seccomp_notif_resp response{};
            response.id = request.id;
            response.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
            ::ioctl(m_listener, SECCOMP_IOCTL_NOTIF_SEND, &response);
        }
    }

    int m_listener = -1;
    std::string m_target;
    std::atomic<bool> m_armed{false};
    std::atomic<bool> m_fired{false};
    QString m_why;
    static inline QString s_why;
};

// Removes a tree below the folder fd refers to, one name at a time, so that
// neither overlong paths nor names that are no valid text stop it.
inline void removeTreeAt(int parent, const char *name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlinkat(parent, name, 0);
        return;
    }
    if (DIR *dir = ::fdopendir(fd)) {
        std::vector<std::string> names;
        while (const dirent *entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        }
        for (const std::string &child : names)
            removeTreeAt(::dirfd(dir), child.c_str());
        ::closedir(dir);
    } else {
        ::close(fd);
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

// Removes the given path's tree when it goes out of scope.
class TreeRemover
{
public:
    explicit TreeRemover(QByteArray path) : m_path(std::move(path)) {}
    ~TreeRemover() { removeTreeAt(AT_FDCWD, m_path.constData()); }
    TreeRemover(const TreeRemover &) = delete;
    TreeRemover &operator=(const TreeRemover &) = delete;

private:
    QByteArray m_path;
};

// Peak resident memory of the process so far, in kilobytes.
inline long peakRssKb()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
