#include "platform/proc/SessionProcesses.h"
#include "platform/proc/UnixSocketTable.h"

#include "support/SocketFamily.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

using platform::SessionEnvironment;
using platform::SessionProcesses;
using platform::UnixSocketTable;
using Role = SessionProcesses::Role;
using Roles = SessionProcesses::Roles;
namespace fs = std::filesystem;

namespace {

void writeProcFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// One process of a fake /proc tree: its stat and status, its cgroup and its socket descriptors.
void addProcess(const fs::path& root, int pid, int ppid, const std::string& name, unsigned uid,
    const std::string& cgroup, const std::vector<int>& socketInodes = {})
{
    const fs::path dir = root / std::to_string(pid);
    writeProcFile(dir / "stat",
        std::to_string(pid) + " (" + name + ") S " + std::to_string(ppid)
            + " 1 1 0 -1 4194304 10 0 0 0 1 1 0 0 20 0 1 0 100 1000 10 18446744073709551615\n");
    writeProcFile(
        dir / "status", "Name:\t" + name + "\nUid:\t" + std::to_string(uid) + "\t" + std::to_string(uid) + "\t0\t0\n");
    writeProcFile(dir / "cmdline", name + std::string(1, '\0'));
    writeProcFile(dir / "cgroup", "0::" + cgroup + "\n");
    fs::create_directories(dir / "fd");
    int fd = 3;
    for (const int inode : socketInodes)
        fs::create_symlink("socket:[" + std::to_string(inode) + "]", dir / "fd" / std::to_string(fd++));
}

} // namespace

TEST(SessionEnvironmentParse, DisplaysBusAddressesAndCgroups)
{
    EXPECT_EQ(SessionEnvironment::displayNumber(":0"), 0);
    EXPECT_EQ(SessionEnvironment::displayNumber(":12.1"), 12);
    EXPECT_EQ(SessionEnvironment::displayNumber("unix:3"), 3);
    EXPECT_EQ(SessionEnvironment::displayNumber("localhost:10.0"), std::nullopt); // ssh's forwarding: TCP
    EXPECT_EQ(SessionEnvironment::displayNumber(""), std::nullopt);
    EXPECT_EQ(SessionEnvironment::displayNumber(":x"), std::nullopt);

    EXPECT_EQ(
        SessionEnvironment::unixSocketsOfBusAddress(
            "tcp:host=localhost,port=1;unix:path=/run/user/1000/b%20us,guid=ab;unix:abstract=/tmp/dbus-Q%2,guid=1"),
        (std::vector<std::string> {"/run/user/1000/b us", "@/tmp/dbus-Q%2"}));

    SessionEnvironment e;
    e.display = ":1";
    e.runtimeDir = "/run/user/1000/";
    e.xSocketDir = "/scratch/x11";
    EXPECT_EQ(e.displaySockets(),
        (std::vector<std::string> {"/scratch/x11/X1", "@/scratch/x11/X1", "/run/user/1000/wayland-0"}));
    EXPECT_EQ(e.sessionBusSockets(), std::vector<std::string> {"/run/user/1000/bus"});
    e.waylandDisplay = "/elsewhere/wl";
    EXPECT_EQ(e.displaySockets().back(), "/elsewhere/wl");

    EXPECT_EQ(SessionProcesses::cgroupPath("0::/user.slice/user-1000.slice/session-2.scope\n"),
        "/user.slice/user-1000.slice/session-2.scope");
    EXPECT_EQ(SessionProcesses::cgroupPath("2:cpu:/\n1:name=systemd:/user.slice/user@1000.service/init.scope\n"),
        "/user.slice/user@1000.service/init.scope");
}

TEST(UnixSocketTableParse, OnlyNamedListeningSockets)
{
    const auto sockets = UnixSocketTable::parseListening(
        "Num       RefCount Protocol Flags    Type St Inode Path\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 23456 /tmp/.X11-unix/X0\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 23455 @/tmp/.X11-unix/X0\n"
        "0000000000000000: 00000003 00000000 00000000 0001 03 23460 /tmp/.X11-unix/X0\n" // a connection
        "0000000000000000: 00000002 00000000 00010000 0001 01 23470\n" // listening, no name
        "0000000000000000: 00000002 00000000 00010000 0001 01 23480 /run/user/1000/a b\n");
    ASSERT_EQ(sockets.size(), 3u);
    EXPECT_EQ(sockets[0].path, "/tmp/.X11-unix/X0");
    EXPECT_EQ(sockets[0].inode, 23456u);
    EXPECT_EQ(sockets[1].path, "@/tmp/.X11-unix/X0");
    EXPECT_EQ(sockets[2].path, "/run/user/1000/a b");
}

// Real processes listening on the display's sockets in scratch folders, as Xvfb and a compositor would.
TEST(SessionProcesses, HoldersOfTheDisplaySocketsAndTheirParentsButNoSibling)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    fs::create_directories(root + "/x11");
    fs::create_directories(root + "/runtime");
    SessionEnvironment e;
    e.display = ":7.0";
    e.xSocketDir = root + "/x11";
    e.runtimeDir = root + "/runtime";
    e.waylandDisplay = "wayland-7";
    e.sessionBusAddress = "unix:path=" + root + "/runtime/bus";
    // Each kind in a separate child: the X file socket, X's abstract one, Wayland, the session bus,
    // another display's X socket, and an ordinary sibling.
    const SocketFamily family({root + "/x11/X7", "@" + root + "/x11/X7", root + "/runtime/wayland-7",
        root + "/runtime/bus", root + "/x11/X8", ""});
    for (std::size_t i = 0; i < 6; ++i)
        ASSERT_GT(family.child(i), 0) << i;

    const Roles roles = SessionProcesses("/proc", e, ::getuid()).read();
    const auto roleOf = [&](pid_t pid) { return roles.contains(pid) ? std::optional(roles.at(pid)) : std::nullopt; };
    EXPECT_EQ(roleOf(family.child(0)), Role::displayServer);
    EXPECT_EQ(roleOf(family.child(1)), Role::displayServer);
    EXPECT_EQ(roleOf(family.child(2)), Role::displayServer);
    EXPECT_EQ(roleOf(family.child(3)), Role::sessionService);
    EXPECT_EQ(roleOf(family.child(4)), std::nullopt);
    EXPECT_EQ(roleOf(family.child(5)), std::nullopt);
    EXPECT_EQ(roleOf(family.parent()), Role::runsDisplayServer); // the stronger of its two roles
    EXPECT_EQ(roleOf(::getpid()), Role::runsDisplayServer);
    EXPECT_EQ(roleOf(1), std::nullopt);

    // Another user's session: its descriptors are not searched.
    EXPECT_TRUE(SessionProcesses("/proc", e, ::getuid() + 4242).read().empty());
}

// A startx session in a login scope, an ssh login beside it and the user's service manager.
TEST(SessionProcesses, TheUsersManagerAndTheStartersOfTheGraphicalSessionInItsScope)
{
    QTemporaryDir dir;
    const fs::path proc = dir.path().toStdString();
    writeProcFile(proc / "stat", "cpu  1 2 3 4\nbtime 1700000000\n");
    writeProcFile(proc / "net/unix",
        "Num       RefCount Protocol Flags    Type St Inode Path\n"
        "0000000000000000: 00000002 00000000 00010000 0001 01 500 /tmp/.X11-unix/X0\n");
    // The fixture's folders belong to whoever runs the test, so the session is theirs.
    const unsigned me = ::getuid();
    const std::string slice = "/user.slice/user-" + std::to_string(me) + ".slice/";
    const std::string tty = slice + "session-3.scope";
    const std::string ssh = slice + "session-5.scope";
    const std::string manager = slice + "user@" + std::to_string(me) + ".service/";
    addProcess(proc, 90, 1, "systemd", me, manager + "init.scope");
    addProcess(proc, 91, 90, "pipewire", me, manager + "session.slice/pipewire.service");
    addProcess(proc, 200, 1, "login", 0, "/system.slice/getty@tty1.service");
    addProcess(proc, 201, 200, "bash", me, tty);
    addProcess(proc, 202, 201, "startx", me, tty);
    addProcess(proc, 203, 202, "xinit", me, tty);
    addProcess(proc, 204, 203, "Xorg", me, tty, {500});
    addProcess(proc, 205, 203, "sh", me, tty); // .xinitrc
    addProcess(proc, 206, 205, "ssh-agent", me, tty);
    addProcess(proc, 207, 206, "openbox", me, tty);
    addProcess(proc, 208, 207, "xterm", me, tty);
    addProcess(proc, 209, 208, "bash", me, tty);
    addProcess(proc, 210, 209, "make", me, tty);
    addProcess(proc, 211, 210, "sh", me, tty);
    addProcess(proc, 300, 1, "sshd-session", me, ssh);
    addProcess(proc, 301, 300, "make", me, ssh);
    addProcess(proc, 302, 301, "icewm", me, ssh);

    SessionEnvironment e;
    e.display = ":0";
    const auto isSessionProgram = [](const std::string& name) { return name == "openbox" || name == "icewm"; };
    const Roles expected {{90, Role::sessionService}, {200, Role::runsDisplayServer}, {201, Role::runsDisplayServer},
        {202, Role::runsDisplayServer}, {203, Role::runsDisplayServer}, {204, Role::displayServer},
        {205, Role::sessionService}, {206, Role::sessionService}};
    EXPECT_EQ(SessionProcesses(proc.string(), e, me).read(isSessionProgram), expected);

    // Started from the program's own login session, the ssh one counts as graphical too.
    e.sessionId = "5";
    auto withOwn = expected;
    withOwn.emplace(300, Role::sessionService);
    withOwn.emplace(301, Role::sessionService);
    EXPECT_EQ(SessionProcesses(proc.string(), e, me).read(isSessionProgram), withOwn);
}
