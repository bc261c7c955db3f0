// Lets file permission checks apply to a test process that runs as root.
//
// Root passes every read, write and search permission check through the
// capabilities CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH, so a folder without
// read permission is still listed and a folder without write permission still
// takes new files.  While a guard lives, those two capabilities are off in the
// calling thread's effective set (they stay permitted and are raised again
// when the guard ends), so the process meets the same refusals a user would.
// For a process that is not root the guard does nothing: the checks apply
// anyway.  Tests should still probe that a refusal really happens and skip
// otherwise (another platform, a container that forbids capset).
#pragma once

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

class WithoutAdminOverride
{
public:
    WithoutAdminOverride()
    {
#ifdef Q_OS_LINUX
        if (::geteuid() != 0)
            return;
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        m_dropped = ::syscall(SYS_capset, &m_header, reduced) == 0;
#endif
    }

    ~WithoutAdminOverride()
    {
#ifdef Q_OS_LINUX
        if (m_dropped)
            ::syscall(SYS_capset, &m_header, m_saved);
#endif
    }

    WithoutAdminOverride(const WithoutAdminOverride&) = delete;
    WithoutAdminOverride& operator=(const WithoutAdminOverride&) = delete;

private:
#ifdef Q_OS_LINUX
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
#endif
};
