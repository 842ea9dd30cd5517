#include "platform/security/TrustedCallers.h"
#include "platform/security/PeerCredentials.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <climits>
#include <filesystem>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::CallerVerdict;
using platform::TrustedCallers;

namespace {

std::string selfExecutable()
{
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

TEST(TrustedCallersTest, RunningExecutableIsMatchedByIdentity)
{
    const std::string self = selfExecutable();
    struct stat st
    {
    };
    ASSERT_EQ(::stat(self.c_str(), &st), 0);
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        ::chmod(self.c_str(), st.st_mode & ~(S_IWGRP | S_IWOTH));

    EXPECT_EQ(TrustedCallers({self}).check(::getpid()), CallerVerdict::Trusted);
    // A symlink to the trusted file names the same file.
    QTemporaryDir dir;
    const std::string link = dir.filePath("quorvane-pro").toStdString();
    std::filesystem::create_symlink(self, link);
    EXPECT_EQ(TrustedCallers({"/nonexistent", link}).check(::getpid()), CallerVerdict::Trusted);

    // A copy with the same name and bytes is another file.
    const std::string copy = dir.filePath("copy").toStdString();
    std::filesystem::copy_file(self, copy);
    EXPECT_EQ(TrustedCallers({copy}).check(::getpid()), CallerVerdict::InvalidSignature);
    EXPECT_EQ(TrustedCallers({}).check(::getpid()), CallerVerdict::InvalidSignature);
}

TEST(TrustedCallersTest, FileOthersCanChangeIsNeverTrusted)
{
    struct stat st
    {
    };
    st.st_mode = S_IFREG | 0755;
    st.st_uid = 0;
    EXPECT_TRUE(TrustedCallers::isSafeExecutable(st, 1000));
    st.st_uid = 1000;
    EXPECT_TRUE(TrustedCallers::isSafeExecutable(st, 1000)); // the checker's own account
    EXPECT_FALSE(TrustedCallers::isSafeExecutable(st, 0));
    st.st_uid = 0;
    st.st_mode = S_IFREG | 0775;
    EXPECT_FALSE(TrustedCallers::isSafeExecutable(st, 0));
    st.st_mode = S_IFREG | 0757;
    EXPECT_FALSE(TrustedCallers::isSafeExecutable(st, 0));
    st.st_mode = S_IFDIR | 0755;
    EXPECT_FALSE(TrustedCallers::isSafeExecutable(st, 0));

    const std::string self = selfExecutable();
    ASSERT_EQ(::stat(self.c_str(), &st), 0);
    ::chmod(self.c_str(), (st.st_mode & 07777) | S_IWOTH);
    const auto verdict = TrustedCallers({self}).check(::getpid());
    ::chmod(self.c_str(), st.st_mode & 07777 & ~(S_IWGRP | S_IWOTH));
    EXPECT_EQ(verdict, CallerVerdict::InvalidSignature);
}

TEST(TrustedCallersTest, ProcessThatIsGoneFailsValidation)
{
    pid_t pid = 0;
    char arg0[] = "true";
    char* argv[] = {arg0, nullptr};
    ASSERT_EQ(::posix_spawn(&pid, "/bin/true", nullptr, nullptr, argv, environ), 0);
    ::waitpid(pid, nullptr, 0);
    const TrustedCallers callers({selfExecutable()});
    EXPECT_EQ(callers.check(pid), CallerVerdict::ValidationFailed);
    EXPECT_EQ(callers.check(0), CallerVerdict::ValidationFailed);
    EXPECT_EQ(callers.check(-1), CallerVerdict::ValidationFailed);
}

TEST(TrustedCallersTest, PathListAndPeerCredentials)
{
    EXPECT_EQ(platform::splitPathList("/a:/b::/c:"), (std::vector<std::string> {"/a", "/b", "/c"}));
    EXPECT_TRUE(platform::splitPathList("").empty());

    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    const auto peer = platform::peerCredentials(fds[0]);
    ASSERT_TRUE(peer);
    EXPECT_EQ(peer->pid, ::getpid());
    EXPECT_EQ(peer->uid, ::geteuid());
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_FALSE(platform::peerCredentials(-1));
}

} // namespace
