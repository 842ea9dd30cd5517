#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The root helper's privileges and sandbox as its installed systemd unit sets them: the
// capability and hardening settings of the unit's [Service] section, each as "Key=value" in file
// order, with a plain-language description of what it grants or takes away.
namespace HelperHardening {

// The settings of `unitText` that bound what the helper may do; other keys (ExecStart, Type...) are
// left out. Comments, other sections and line continuations are handled as systemd reads them.
std::vector<std::string> settingsOf(std::string_view unitText);

// What a "Key=value" setting means for the helper; nothing for a key this table does not know.
std::optional<std::string> describe(std::string_view setting);

} // namespace HelperHardening
