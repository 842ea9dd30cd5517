#pragma once

#include "WindowManagerReader.h"

#include <string>

struct xcb_connection_t;

namespace platform {

// Asks a local X display for its window manager: the owner of each screen's WM_S<n> selection
// (ICCCM) and the window named by the root's _NET_SUPPORTING_WM_CHECK (EWMH), each mapped to the
// process of the client that created it: the XRes extension's pid of a local client, else the
// window's own _NET_WM_PID.
class XcbWindowManagerReader : public WindowManagerReader
{
public:
    // display: DISPLAY's value. connection: an open connection to that display to ask through (the
    // program's own, which must outlive the reader); without one each read opens its own. A display
    // reached over the network gives nothing: its pids are another machine's.
    explicit XcbWindowManagerReader(std::string display, xcb_connection_t* connection = nullptr);

    std::vector<int> windowManagerPids() const override;

    // The same through an open connection.
    static std::vector<int> windowManagerPids(xcb_connection_t* connection);

private:
    std::string m_display;
    xcb_connection_t* m_connection;
};

} // namespace platform
