#pragma once

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <string>

// A folder whose entries cannot be removed, also by root: the folder is made read-only, and while the
// lock lives the calling thread, and every thread it starts meanwhile, works without the capabilities
// that let root ignore file modes. A purge or deletion then leaves the folder's contents in place, on
// any machine and without mounting anything.
class LockedFolder
{
public:
    explicit LockedFolder(std::string path)
        : m_path(std::move(path))
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_locked = ::syscall(SYS_capget, &m_header, m_saved) == 0;
        __user_cap_data_struct bound[2] = {m_saved[0], m_saved[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            bound[cap / 32].effective &= ~(1u << (cap % 32));
        m_locked = m_locked && ::syscall(SYS_capset, &m_header, bound) == 0
            && ::chmod(m_path.c_str(), S_IRUSR | S_IXUSR | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH) == 0;
    }
    ~LockedFolder()
    {
        ::chmod(m_path.c_str(), S_IRWXU);
        ::syscall(SYS_capset, &m_header, m_saved);
    }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    // False when the folder could not be locked (then nothing below is protected).
    bool locked() const { return m_locked; }

private:
    std::string m_path;
    __user_cap_header_struct m_header {};
    __user_cap_data_struct m_saved[2] {};
    bool m_locked = false;
};
