#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The root helper's privileges and sandbox as its systemd unit sets them: the capability and
// hardening settings of the unit's [Service] section, each as "Key=value", with a plain-language
// description of what it grants or takes away.
namespace HelperHardening {

// The settings of `unitText` that bound what the helper may do, in file order; other keys (ExecStart,
// Type...) are left out. Comments, other sections and line continuations are handled as systemd reads
// them. Drop-ins are not seen here: this reads one file.
std::vector<std::string> settingsOf(std::string_view unitText);

// The unit properties to ask systemd for: every setting described here, then "LoadState",
// "FragmentPath" and "DropInPaths".
std::vector<std::string> propertyNames();

// The settings as systemd applies them, drop-ins included, and the files they come from.
struct EffectiveSettings
{
    std::vector<std::string> settings; // "Key=value", in the order of propertyNames()
    std::string fragmentPath; // the unit file
    std::vector<std::string> dropInPaths; // the drop-ins that change it, in systemd's order
};

// The settings of a `systemctl show` answer (one "Key=value" a line). Nothing unless the unit is
// loaded: for a unit systemd could not load it answers with its defaults, not the unit's values.
std::optional<EffectiveSettings> effectiveSettingsOf(std::string_view showText);

// What a "Key=value" setting means for the helper, its value included (PrivateNetwork=no is not a
// private network); nothing for a key this table does not know.
std::optional<std::string> describe(std::string_view setting);

} // namespace HelperHardening
