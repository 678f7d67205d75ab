#include "toolkit/Compositing.h"

#include <QGuiApplication>

#include <cstdlib>
#include <string>

#ifdef BRISEL_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace brisel {

bool TranslucencyAvailable() {
#ifdef BRISEL_HAVE_XCB
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return true;
  xcb_connection_t* connection = x11->connection();
  int screen = 0;
  char* host = nullptr;
  int display = 0;
  if (xcb_parse_display(nullptr, &host, &display, &screen)) std::free(host);
  const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection,
      xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.c_str()),
      nullptr);
  if (!atom) return true;
  const xcb_atom_t selection = atom->atom;
  std::free(atom);
  if (selection == XCB_ATOM_NONE) return false;  // no compositing manager ever ran
  xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
      connection, xcb_get_selection_owner(connection, selection), nullptr);
  if (!owner) return true;
  const bool composited = owner->owner != XCB_NONE;
  std::free(owner);
  return composited;
#else
  return true;
#endif
}

}  // namespace brisel
