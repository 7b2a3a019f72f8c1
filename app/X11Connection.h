// Qt's own xcb connection, reached through the native interface, and atom lookup on it.
#pragma once

#include <QByteArray>

#include <xcb/xcb.h>

namespace X11Connection {

// Null when the application does not run on the xcb platform.
xcb_connection_t* connection();
xcb_atom_t atom(xcb_connection_t* connection, const QByteArray& name, bool onlyIfExists = false);

} // namespace X11Connection
