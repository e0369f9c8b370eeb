#pragma once

#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
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

// A disk that fills up: while this lives, no file of this process may grow
// beyond bytes; the write that would cross the limit fails (EFBIG) as a
// write to a full disk fails.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = m_saved;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace tornyx::test
