// Follows the EWMH compositing-manager selection with XFixes, so a compositor that starts or stops
// while Vitrion runs switches the glass between translucent and opaque.
#include "CompositingWatcher.h"

#include "X11Connection.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

#include <cstdlib>
#include <xcb/xfixes.h>

namespace {

// The screen number is the index of the window's root among the connection's roots.
int screenNumberOf(xcb_connection_t* c, xcb_window_t window)
{
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    if (!tree) {
        return 0;
    }
    const xcb_window_t root = tree->root;
    std::free(tree);
    int index = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it), ++index) {
        if (it.data->root == root) {
            return index;
        }
    }
    return 0;
}

xcb_window_t rootOf(xcb_connection_t* c, int screenNumber)
{
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; it.rem && i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    return it.rem ? it.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

} // namespace

CompositingWatcher::CompositingWatcher(QObject* parent) : QObject(parent) {}

CompositingWatcher::~CompositingWatcher()
{
    if (filtering) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

void CompositingWatcher::watch(QWindow* window)
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        setActive(true);
        return;
    }
    xcb_connection_t* c = X11Connection::connection();
    if (!c || !window || filtering) {
        return;
    }
    const int screen = screenNumberOf(c, xcb_window_t(window->winId()));
    selectionAtom = X11Connection::atom(c, "_NET_WM_CM_S" + QByteArray::number(screen));

    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (xfixes && xfixes->present) {
        xfixesFirstEvent = xfixes->first_event;
        // XFixes requests are only valid after the version handshake (Qt has done it; again is harmless).
        std::free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
        xcb_xfixes_select_selection_input(c, rootOf(c, screen), selectionAtom,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_flush(c);
        QCoreApplication::instance()->installNativeEventFilter(this);
        filtering = true;
    }
    readOwner();
}

bool CompositingWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !message) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) == xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->selection == selectionAtom) {
            setActive(notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER &&
                      notify->owner != XCB_WINDOW_NONE);
        }
    }
    return false; // others (Qt included) may watch the same selection
}

void CompositingWatcher::readOwner()
{
    xcb_connection_t* c = X11Connection::connection();
    if (!c || selectionAtom == XCB_ATOM_NONE) {
        return;
    }
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selectionAtom), nullptr);
    setActive(reply && reply->owner != XCB_WINDOW_NONE);
    std::free(reply);
}

void CompositingWatcher::setActive(bool value)
{
    if (active == value) {
        return;
    }
    active = value;
    emit activeChanged(active);
}
