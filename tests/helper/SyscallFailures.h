#pragma once

// Makes chosen system calls of this process fail with a chosen errno while every other call goes on as
// before, as a shortage or a kernel without a feature would: a seccomp filter, so for a forked child.

#include <cstddef>
#include <cstdint>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace helpertest {

#if defined(__x86_64__)
inline constexpr std::uint32_t kNativeAudit = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
inline constexpr std::uint32_t kNativeAudit = AUDIT_ARCH_AARCH64;
#else
inline constexpr std::uint32_t kNativeAudit = 0;
#endif

// Which calls of one system call fail: all, those whose argument `argument` equals `value`, or those
// whose argument `argument` has any of the bits of `value` set (the low 32 bits are compared).
struct SyscallFailure
{
    enum class When { always, argumentIs, argumentHas };

    long number = 0;
    int error = 0;
    When when = When::always;
    unsigned argument = 0;
    std::uint32_t value = 0;
};

// From here on, in every thread of this process. False, with nothing changed, where it cannot be arranged.
inline bool failSyscalls(const std::vector<SyscallFailure>& failures)
{
    if (kNativeAudit == 0)
        return false;
    std::vector<sock_filter> program {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kNativeAudit, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    // Each failure is a block that starts from the call's number and either returns its errno or
    // jumps to the next block.
    for (const auto& failure : failures) {
        const sock_filter errorReturn
            = BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (std::uint32_t(failure.error) & 0xffff));
        program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
        if (failure.when == SyscallFailure::When::always) {
            program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, std::uint32_t(failure.number), 0, 1));
            program.push_back(errorReturn);
            continue;
        }
        const auto argument = std::uint32_t(offsetof(seccomp_data, args) + failure.argument * sizeof(std::uint64_t));
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, std::uint32_t(failure.number), 0, 3));
        program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argument));
        const std::uint16_t test = failure.when == SyscallFailure::When::argumentIs ? BPF_JEQ : BPF_JSET;
        program.push_back(BPF_JUMP(BPF_JMP | test | BPF_K, failure.value, 0, 1));
        program.push_back(errorReturn);
    }
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog filter {static_cast<unsigned short>(program.size()), program.data()};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
        && ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &filter) == 0;
}

} // namespace helpertest
