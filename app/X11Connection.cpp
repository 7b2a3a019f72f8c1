// Qt's xcb connection through QNativeInterface::QX11Application.
#include "X11Connection.h"

#include <QGuiApplication>

#include <cstdlib>

namespace X11Connection {

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* connection, const QByteArray& name, bool onlyIfExists)
{
    const auto cookie = xcb_intern_atom(connection, onlyIfExists, uint16_t(name.size()), name.constData());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

} // namespace X11Connection
