#pragma once

#include <QString>

// Where the program and its helper keep things on this machine: what the privacy store measures
// and what an uninstall must leave behind. Tests place everything under temporary folders.
struct PrivacyLocations
{
    QString dataDirectory; // the program's records ($XDG_DATA_HOME/Quorvane)
    QString settingsFile; // the user defaults ($XDG_CONFIG_HOME/Quorvane/Quorvane Pro.conf)
    QString autostartEntry; // $XDG_CONFIG_HOME/autostart/quorvane-pro.desktop
    QString helperFolder; // the helper binaries (<prefix>/libexec/quorvane)
    // The root helper itself: in helperFolder where this copy's own is installed, else the package's
    // (/usr/libexec/quorvane/quorvane-helper), the one a copy from another prefix meets.
    QString helperBinary;
    QString systemUnitFolder; // /etc/systemd/system, where older installs put the helper's units
    QString packageUnitFolder; // /usr/lib/systemd/system, where the package installs them
    QString helperLogFolder; // /var/log/quorvane

    // The real places for the user running the program.
    static PrivacyLocations standard();
    // Every place below `root` as if it were "/", the user's folders below `home`.
    static PrivacyLocations under(const QString& root, const QString& home);
};
