#pragma once

namespace brisel {

// Whether translucent windows blend with what lies below them. On X11 that takes a
// compositing manager (the owner of the selection _NET_WM_CM_S<screen>): without one, the
// pixels of a translucent window are shown as they are, so a soft shadow turns into a black
// band. Other platforms (Wayland, offscreen) always blend. Asks the display each time (the
// compositor may come and go). UI thread only.
bool TranslucencyAvailable();

}  // namespace brisel
