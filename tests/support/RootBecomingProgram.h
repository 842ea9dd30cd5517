#pragma once

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <system_error>

// What pkexec becomes once the user has authorised it: a program this user starts that makes itself root
// through and through, so that this user can no longer signal it. It is a setuid-root copy of setpriv,
// run as `program() --reuid=0 PROGRAM...` from a thread whose credentials are nobody's (asNobody). Its
// folder() is open to all and written by root alone. Making it takes a test run as root on a file system
// that honours setuid: usable() says whether it could be made.
class RootBecomingProgram
{
public:
    RootBecomingProgram()
    {
        char folder[] = "/tmp/qv-root-XXXXXX";
        if (::geteuid() != 0 || !::mkdtemp(folder))
            return;
        m_folder = folder;
        struct statvfs mount
        {
        };
        std::error_code error;
        m_usable = ::statvfs(folder, &mount) == 0 && (mount.f_flag & ST_NOSUID) == 0
            && std::filesystem::copy_file("/usr/bin/setpriv", program(), error) && ::chmod(folder, 0755) == 0
            && ::chmod(program().c_str(), S_ISUID | 0755) == 0;
    }
    ~RootBecomingProgram()
    {
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder);
    }
    RootBecomingProgram(const RootBecomingProgram&) = delete;
    RootBecomingProgram& operator=(const RootBecomingProgram&) = delete;

    bool usable() const { return m_usable; }
    const std::string& folder() const { return m_folder; }
    std::string program() const { return m_folder + "/setpriv"; }

private:
    std::string m_folder;
    bool m_usable = false;
};

// Runs body on a thread of its own whose credentials are nobody's, and gives whether it could: the raw
// system call changes the calling thread's alone, where glibc's setresuid changes every thread's.
inline std::future<bool> asNobody(std::function<void()> body)
{
    return std::async(std::launch::async, [body = std::move(body)] {
        constexpr long kNobody = 65534;
        if (::syscall(SYS_setgroups, 0, nullptr) != 0 || ::syscall(SYS_setresgid, kNobody, kNobody, kNobody) != 0
            || ::syscall(SYS_setresuid, kNobody, kNobody, kNobody) != 0)
            return false;
        body();
        return true;
    });
}
