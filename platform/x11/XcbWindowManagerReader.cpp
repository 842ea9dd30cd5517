#include "XcbWindowManagerReader.h"

#include "platform/proc/SessionEnvironment.h"

#include <xcb/res.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

namespace platform {

namespace {

// xcb's replies are malloc'ed.
template<class T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template<class T> Reply<T> reply(T* r)
{
    return Reply<T>(r, &std::free);
}

xcb_atom_t existingAtom(xcb_connection_t* c, const std::string& name)
{
    const auto r = reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The first 32-bit value of a window's property of the given type.
std::optional<std::uint32_t> property32(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    if (name == XCB_ATOM_NONE)
        return std::nullopt;
    const auto r = reply(xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 1), nullptr));
    if (!r || r->format != 32 || xcb_get_property_value_length(r.get()) < 4)
        return std::nullopt;
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
}

bool hasClientIds(xcb_connection_t* c)
{
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_res_id);
    if (!extension || !extension->present)
        return false;
    // Client pids came with version 1.2.
    const auto version = reply(xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
    return version && (version->server_major > 1 || (version->server_major == 1 && version->server_minor >= 2));
}

// The pid of the local client that created the window, as the server knows it from the socket.
std::optional<int> clientPid(xcb_connection_t* c, xcb_window_t window)
{
    const xcb_res_client_id_spec_t spec {window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    const auto r = reply(xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &spec), nullptr));
    if (!r)
        return std::nullopt;
    for (auto it = xcb_res_query_client_ids_ids_iterator(r.get()); it.rem; xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)
            && xcb_res_client_id_value_value_length(it.data) >= 1)
            return static_cast<int>(*xcb_res_client_id_value_value(it.data));
    }
    return std::nullopt;
}

// The windows the window managers of all screens hold.
std::vector<xcb_window_t> managerWindows(xcb_connection_t* c)
{
    std::vector<xcb_window_t> windows;
    const xcb_atom_t check = existingAtom(c, "_NET_SUPPORTING_WM_CHECK");
    int number = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it), ++number) {
        const xcb_window_t root = it.data->root;
        if (const xcb_atom_t selection = existingAtom(c, "WM_S" + std::to_string(number)); selection != XCB_ATOM_NONE) {
            const auto owner = reply(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
            if (owner && owner->owner != XCB_WINDOW_NONE)
                windows.push_back(owner->owner);
        }
        // The check window names itself too, so a stale value left by a manager that quit is not taken.
        const auto child = property32(c, root, check, XCB_ATOM_WINDOW);
        if (child && *child != XCB_WINDOW_NONE && property32(c, *child, check, XCB_ATOM_WINDOW) == child)
            windows.push_back(*child);
    }
    return windows;
}

} // namespace

XcbWindowManagerReader::XcbWindowManagerReader(std::string display, xcb_connection_t* connection)
    : m_display(std::move(display))
    , m_connection(connection)
{
}

std::vector<int> XcbWindowManagerReader::windowManagerPids() const
{
    if (m_connection)
        return windowManagerPids(m_connection);
    if (!SessionEnvironment::displayNumber(m_display))
        return {};
    xcb_connection_t* c = xcb_connect(m_display.c_str(), nullptr);
    const auto pids = windowManagerPids(c);
    xcb_disconnect(c);
    return pids;
}

std::vector<int> XcbWindowManagerReader::windowManagerPids(xcb_connection_t* c)
{
    if (!c || xcb_connection_has_error(c))
        return {};
    const bool clientIds = hasClientIds(c);
    const xcb_atom_t wmPid = existingAtom(c, "_NET_WM_PID");
    std::vector<int> pids;
    for (const xcb_window_t window : managerWindows(c)) {
        auto pid = clientIds ? clientPid(c, window) : std::nullopt;
        if (!pid) {
            if (const auto own = property32(c, window, wmPid, XCB_ATOM_CARDINAL))
                pid = static_cast<int>(*own);
        }
        if (pid && *pid > 0 && std::find(pids.begin(), pids.end(), *pid) == pids.end())
            pids.push_back(*pid);
    }
    return pids;
}

} // namespace platform
