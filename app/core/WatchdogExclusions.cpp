#include "WatchdogExclusions.h"

#include <QString>

namespace {

constexpr const char* kHelperName = "quorvane-helper";

} // namespace

WatchdogExclusions::WatchdogExclusions(std::string procRoot, pid_t self, uid_t user)
    : m_table(std::move(procRoot))
    , m_self(self)
    , m_user(user)
{
}

const std::set<std::string>& WatchdogExclusions::sessionProcessNames()
{
    static const std::set<std::string> names {// this program and its helper
        "quorvane-pro", "quorvane-helper", "quorvane-powermetrics",
        // display servers and compositors
        "Xorg", "X", "Xwayland", "gnome-shell", "mutter", "kwin_wayland", "kwin_x11", "weston", "sway", "Hyprland",
        "wayfire", "labwc", "river", "cage", "xfwm4", "marco", "muffin", "openbox", "i3", "awesome", "bspwm", "picom",
        "compiz",
        // audio
        "pipewire", "pipewire-pulse", "wireplumber", "pulseaudio", "jackd",
        // session, login and bus
        "systemd", "systemd-logind", "dbus-daemon", "dbus-broker", "dbus-broker-launch", "gdm", "gdm3",
        "gdm-session-worker", "gdm-wayland-session", "gdm-x-session", "sddm", "sddm-helper", "lightdm", "gnome-session",
        "gnome-session-binary", "ksmserver", "plasma_session", "startplasma-wayland", "startplasma-x11",
        "xfce4-session", "lxsession", "lxqt-session", "mate-session", "cinnamon-session", "login", "agetty", "sshd",
        // terminal emulators and multiplexers
        "gnome-terminal-server", "gnome-terminal", "kgx", "ptyxis", "konsole", "yakuake", "xterm", "uxterm", "urxvt",
        "alacritty", "kitty", "foot", "wezterm-gui", "tilix", "terminator", "xfce4-terminal", "mate-terminal",
        "lxterminal", "qterminal", "guake", "st", "tmux", "tmux: server", "screen",
        // shells
        "sh", "bash", "dash", "zsh", "fish", "ksh", "mksh", "tcsh", "csh", "nu",
        // panels and desktop shells
        "plasmashell", "xfce4-panel", "mate-panel", "lxpanel", "lxqt-panel", "budgie-panel", "gnome-panel", "cinnamon",
        "waybar", "polybar", "tint2"};
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
    if (sessionProcessNames().contains(name))
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
    return info->name == process.name ? Reason::none : reasonForName(info->name);
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
    case Reason::session:
        return "your desktop session needs it";
    case Reason::neverPause:
        return "it is on your never-pause list";
    case Reason::otherUser:
        return "it belongs to another user";
    }
    return {};
}
