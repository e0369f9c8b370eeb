#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <csignal>
#include <cstdio>
#include <functional>
#include <grp.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tornyx::test {

// A read-only folder stops root no more than anyone else's folder would:
// while this lives, the calling thread loses the capability to override
// file permissions, so chmod 0555 means read-only again.
class NoPermissionOverride {
public:
    NoPermissionOverride() {
        __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
        if (syscall(SYS_capget, &head, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_active = syscall(SYS_capset, &head, reduced) == 0;
    }
    ~NoPermissionOverride() {
        if (!m_active)
            return;
        __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
        syscall(SYS_capset, &head, m_saved);
    }
    NoPermissionOverride(const NoPermissionOverride&) = delete;
    NoPermissionOverride& operator=(const NoPermissionOverride&) = delete;

private:
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

// A full disk without root and without a mount: for its lifetime no file of
// this process can grow beyond maxBytes. A write past it fails with EFBIG
// (SIGXFSZ is ignored meanwhile), exactly where ENOSPC would come from a
// full file system.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t maxBytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lower = m_old;
        lower.rlim_cur = maxBytes;
        m_set = setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool isSet() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_set = false;
};

// The exit code of a child that could not set up its case (no mount
// permitted here): the test skips.
inline constexpr int ChildSkipped = 77;

enum class ChildUser { Same, Unprivileged };

// In a child only: a superuser becomes "nobody", for whom permission bits
// hold as they do for an operator. False when that is not possible.
inline bool dropToNobody() {
    if (geteuid() != 0)
        return true;
    return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
}

// Runs check in a forked child and returns its exit code (0: passed; it says
// on stderr what failed otherwise). ChildUser::Unprivileged makes a child of
// the superuser drop to "nobody" first, so that permission bits hold as they
// do for an operator; the files it needs must be open to others.
inline int runInChild(const std::function<int()>& check, ChildUser user = ChildUser::Same) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (user == ChildUser::Unprivileged && !dropToNobody())
            _exit(ChildSkipped);
        const int rc = check();
        std::fflush(stderr);
        _exit(rc);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// In a child only: a tmpfs of the given size on folder, in a mount namespace
// of the child's own, so that nothing outside sees it. False where mounting
// is not permitted (a container without the right, no user namespaces).
inline bool mountSmallTmpfs(const QString& folder, int kilobytes) {
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (unshare(CLONE_NEWNS) != 0) {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        auto put = [](const char* file, const QByteArray& text) {
            QFile f(file);
            return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
        };
        put("/proc/self/setgroups", "deny");
        if (!put("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") ||
            !put("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1"))
            return false;
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0777";
    return mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options.constData()) == 0;
}

// The verdict on a child that needed a tmpfs of its own: skipped where
// mounting is not permitted, else it must have passed.
#define EXPECT_CHILD_PASSED_ON_TMPFS(rc)                                                                     \
    do {                                                                                                     \
        const int childRc = (rc);                                                                            \
        if (childRc == ::tornyx::test::ChildSkipped)                                                         \
            GTEST_SKIP() << "mounting a tmpfs is not permitted here";                                        \
        EXPECT_EQ(childRc, 0);                                                                               \
    } while (0)

// Fills the file system that holds folder until nothing more fits.
inline void fillUp(const QString& folder) {
    QFile f(folder + "/ballast");
    if (!f.open(QIODevice::WriteOnly))
        return;
    const QByteArray block(4096, 'b');
    while (f.write(block) == block.size() && f.flush()) {
    }
    f.close();
    QFile g(folder + "/ballast2");
    if (g.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        while (g.write("b", 1) == 1) {
        }
}

} // namespace tornyx::test
