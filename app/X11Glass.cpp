// _KDE_NET_WM_BLUR_BEHIND_REGION: a CARDINAL list of x, y, width, height quadruples on the client
// window, honoured by KWin and by picom rules that match it.
#include "X11Glass.h"

#include "X11Connection.h"

#include <QGuiApplication>
#include <QWindow>

#include <cstdlib>
#include <vector>

namespace {

const QByteArray blurAtomName = QByteArrayLiteral("_KDE_NET_WM_BLUR_BEHIND_REGION");

} // namespace

namespace X11Glass {

bool isX11()
{
    return X11Connection::connection() != nullptr;
}

void requestBlurBehind(QWindow* window, const QList<QRect>& region)
{
    xcb_connection_t* c = X11Connection::connection();
    if (!c || !window) {
        return;
    }
    const auto id = xcb_window_t(window->winId());
    const xcb_atom_t atom = X11Connection::atom(c, blurAtomName);
    if (region.isEmpty()) {
        xcb_delete_property(c, id, atom);
    } else {
        std::vector<uint32_t> values;
        values.reserve(std::size_t(region.size()) * 4);
        for (const QRect& r : region) {
            values.insert(values.end(),
                          {uint32_t(r.x()), uint32_t(r.y()), uint32_t(r.width()), uint32_t(r.height())});
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom, XCB_ATOM_CARDINAL, 32,
                            uint32_t(values.size()), values.data());
    }
    xcb_flush(c);
}

std::optional<QList<QRect>> blurBehindRegion(QWindow* window)
{
    xcb_connection_t* c = X11Connection::connection();
    if (!c || !window) {
        return std::nullopt;
    }
    const xcb_atom_t atom = X11Connection::atom(c, blurAtomName, true);
    if (atom == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto cookie =
        xcb_get_property(c, false, xcb_window_t(window->winId()), atom, XCB_ATOM_CARDINAL, 0, 1 << 20);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    if (!reply || reply->type == XCB_ATOM_NONE) {
        std::free(reply);
        return std::nullopt;
    }
    QList<QRect> rects;
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / 4;
    for (int i = 0; i + 3 < count; i += 4) {
        rects.append(QRect(int(values[i]), int(values[i + 1]), int(values[i + 2]), int(values[i + 3])));
    }
    std::free(reply);
    return rects;
}

} // namespace X11Glass
