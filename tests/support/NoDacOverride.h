#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Lets permission bits bind the calling thread even when it runs as root
// (as CI does): drops the capabilities that bypass them from the effective
// set while the object lives, and raises them again afterwards. Header-only.
class NoDacOverride {
public:
    NoDacOverride() {
        if (::geteuid() != 0) {
            m_active = true; // permission bits bind already
            return;
        }
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        m_active = ::syscall(SYS_capset, &m_header, lowered) == 0;
        m_restore = m_active;
    }
    ~NoDacOverride() {
        if (m_restore)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    NoDacOverride(const NoDacOverride&) = delete;
    NoDacOverride& operator=(const NoDacOverride&) = delete;

    // False when the capabilities could not be dropped: the test cannot run.
    bool active() const { return m_active; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] = {};
    bool m_active = false;
    bool m_restore = false;
};
