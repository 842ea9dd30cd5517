#include "WatchdogExclusions.h"

#include <QString>

namespace {

constexpr const char* kHelperName = "quorvane-helper";
// How long the session's roles are trusted: long enough for one persona change or one click, short
// enough that a display server started since is seen.
constexpr auto kRolesLifetime = std::chrono::seconds(5);

} // namespace

WatchdogExclusions::WatchdogExclusions(std::string procRoot, pid_t self, uid_t user,
    platform::SessionEnvironment session, std::shared_ptr<const platform::WindowManagerReader> windowManagers)
    : m_table(procRoot)
    , m_self(self)
    , m_user(user)
    , m_session(std::move(procRoot), std::move(session), user)
    , m_windowManagers(std::move(windowManagers))
{
}

namespace {

// The programs a graphical session is made of; the ones that started them in the login session's
// scope are spared too.
const std::set<std::string>& graphicalSessionNames()
{
    static const std::set<std::string> names {// display servers, nested and remote X servers
        "Xorg", "X", "Xwayland", "Xtigervnc", "Xvnc", "Xvfb", "Xephyr",
        // compositors and window managers
        "gnome-shell", "mutter", "kwin_wayland", "kwin_wayland_wrapper", "kwin_x11", "weston", "sway", "Hyprland",
        "wayfire", "labwc", "river", "cage", "cosmic-comp", "niri", "xfwm4", "marco", "muffin", "openbox", "i3",
        "awesome", "bspwm", "picom", "compiz", "enlightenment", "fluxbox", "icewm", "metacity", "xmonad",
        "xmonad-x86_64-linux", "dwm", "qtile", "fvwm", "fvwm3", "herbstluftwm", "jwm", "spectrwm", "pekwm", "cwm",
        "twm", "wmaker",
        // audio
        "pipewire", "pipewire-pulse", "wireplumber", "pulseaudio", "jackd",
        // session, login and bus
        "systemd", "systemd-logind", "dbus-daemon", "dbus-broker", "dbus-broker-launch", "gdm", "gdm3",
        "gdm-session-worker", "gdm-wayland-session", "gdm-x-session", "sddm", "sddm-helper", "lightdm", "gnome-session",
        "gnome-session-binary", "ksmserver", "plasma_session", "startplasma-wayland", "startplasma-x11",
        "xfce4-session", "lxsession", "lxqt-session", "mate-session", "cinnamon-session", "login", "agetty", "sshd",
        "sshd-session",
        // input methods and global shortcuts
        "ibus-daemon", "ibus-x11", "fcitx", "fcitx5", "kglobalacceld",
        // portals, keyrings and the accessibility bus
        "xdg-desktop-portal", "xdg-desktop-portal-gtk", "xdg-desktop-portal-kde", "xdg-desktop-portal-gnome",
        "xdg-desktop-portal-wlr", "xdg-desktop-portal-hyprland", "xdg-desktop-portal-cosmic", "xdg-document-portal",
        "xdg-permission-store", "gnome-keyring-daemon", "kwalletd5", "kwalletd6", "at-spi-bus-launcher",
        "at-spi2-registryd",
        // polkit authentication agents: without one no password prompt can appear
        "polkit-gnome-authentication-agent-1", "polkit-kde-authentication-agent-1",
        "polkit-mate-authentication-agent-1", "mate-polkit", "lxpolkit", "lxqt-policykit-agent", "xfce-polkit",
        // panels and desktop shells
        "plasmashell", "xfce4-panel", "mate-panel", "lxpanel", "lxqt-panel", "budgie-panel", "gnome-panel", "cinnamon",
        "waybar", "polybar", "tint2"};
    return names;
}

} // namespace

const std::set<std::string>& WatchdogExclusions::sessionProcessNames()
{
    static const std::set<std::string> names = [] {
        std::set<std::string> all {// this program and its helper
            "quorvane-pro", "quorvane-helper", "quorvane-powermetrics",
            // terminal emulators and multiplexers
            "gnome-terminal-server", "gnome-terminal", "kgx", "ptyxis", "konsole", "yakuake", "xterm", "uxterm",
            "urxvt", "alacritty", "kitty", "foot", "wezterm-gui", "tilix", "terminator", "xfce4-terminal",
            "mate-terminal", "lxterminal", "qterminal", "guake", "st", "tmux", "tmux: server", "screen",
            // shells
            "sh", "bash", "dash", "zsh", "fish", "ksh", "mksh", "tcsh", "csh", "nu"};
        all.insert(graphicalSessionNames().begin(), graphicalSessionNames().end());
        return all;
    }();
    return names;
}

std::string WatchdogExclusions::lowercased(const std::string& name)
{
    return QString::fromStdString(name).toLower().toStdString();
}

void WatchdogExclusions::addWithAncestors(int pid, std::set<int>& chain) const
{
    // A parent chain ends at init; the bound only guards against a table read mid-change.
    for (int step = 0; pid > 0 && step < 4096; ++step) {
        if (!chain.insert(pid).second)
            return;
        const auto info = m_table.info(pid);
        if (!info)
            return;
        pid = info->ppid;
    }
}

void WatchdogExclusions::prepare(
    const std::vector<RunningProcess>& snapshot, const std::vector<std::string>& neverPauseWhitelist)
{
    m_whitelist.clear();
    for (const auto& name : neverPauseWhitelist)
        m_whitelist.insert(lowercased(name));
    m_ownChain.clear();
    m_helperChain.clear();
    addWithAncestors(m_self, m_ownChain);
    for (const auto& process : snapshot) {
        if (process.name == kHelperName)
            addWithAncestors(process.pid, m_helperChain);
    }
}

WatchdogExclusions::Reason WatchdogExclusions::reasonForName(const std::string& name) const
{
    if (name == "quorvane-pro")
        return Reason::thisProgram;
    if (name == kHelperName || name == "quorvane-powermetrics")
        return Reason::helper;
    // Each desktop brings its own portal back end (xdg-desktop-portal-<desktop>).
    if (sessionProcessNames().contains(name) || name.starts_with("xdg-desktop-portal"))
        return Reason::session;
    if (m_whitelist.contains(lowercased(name)))
        return Reason::neverPause;
    return Reason::none;
}

WatchdogExclusions::Reason WatchdogExclusions::reasonFor(const RunningProcess& process) const
{
    if (process.pid == m_self)
        return Reason::thisProgram;
    if (m_ownChain.contains(process.pid))
        return Reason::runsThisProgram;
    if (m_helperChain.contains(process.pid))
        return Reason::helper;
    if (const Reason byName = reasonForName(process.name); byName != Reason::none)
        return byName;
    // A process that has already ended is left to the helper, which answers that it is gone.
    const auto info = m_table.info(process.pid);
    if (!info)
        return Reason::none;
    if (info->uid != m_user)
        return Reason::otherUser;
    if (info->name != process.name) {
        if (const Reason byName = reasonForName(info->name); byName != Reason::none)
            return byName;
    }
    return reasonForRole(process.pid);
}

WatchdogExclusions::Reason WatchdogExclusions::reasonForRole(int pid) const
{
    const auto now = std::chrono::steady_clock::now();
    if (!m_roles || now - m_rolesReadAt > kRolesLifetime) {
        m_roles = m_session.read([](const std::string& name) { return graphicalSessionNames().contains(name); });
        m_windowManagerPids.clear();
        if (m_windowManagers) {
            for (const int manager : m_windowManagers->windowManagerPids())
                m_windowManagerPids.insert(manager);
        }
        m_rolesReadAt = now;
    }
    if (m_windowManagerPids.contains(pid))
        return Reason::windowManager;
    const auto role = m_roles->find(pid);
    if (role == m_roles->end())
        return Reason::none;
    switch (role->second) {
    case platform::SessionProcesses::Role::displayServer:
        return Reason::display;
    case platform::SessionProcesses::Role::runsDisplayServer:
        return Reason::runsDisplay;
    case platform::SessionProcesses::Role::sessionService:
        break;
    }
    return Reason::session;
}

std::string WatchdogExclusions::describe(Reason reason)
{
    switch (reason) {
    case Reason::none:
        break;
    case Reason::thisProgram:
        return "this is Quorvane Pro itself";
    case Reason::runsThisProgram:
        return "Quorvane Pro runs under it";
    case Reason::helper:
        return "the helper needs it";
    case Reason::display:
        return "your screen and keyboard depend on it";
    case Reason::runsDisplay:
        return "your display server runs under it";
    case Reason::windowManager:
        return "it manages your windows";
    case Reason::session:
        return "your desktop session needs it";
    case Reason::neverPause:
        return "it is on your never-pause list";
    case Reason::otherUser:
        return "it belongs to another user";
    }
    return {};
}
