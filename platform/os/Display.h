// Whether a graphical display can be reached, before a toolkit tries to open
// it (Qt ends the process when it can't).
#pragma once

#include <string>

namespace os {

enum class TDisplayKind { None, X11, Wayland, Virtual };

// The display the environment names and whether its server answers: a
// Wayland socket (WAYLAND_DISPLAY), else an X server (DISPLAY: a local
// socket for ":N", TCP port 6000 + N for "host:N"). QT_QPA_PLATFORM set to
// offscreen or minimal counts as a virtual display that is always there.
TDisplayKind ReachableDisplay();

// The X display number of a DISPLAY text ("host:N.S"), -1 when it has none;
// host gets the part before the colon.
int XDisplayNumber(const std::string& display, std::string* host);

}  // namespace os
