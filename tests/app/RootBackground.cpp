// Test helper: gives an X server's root window a background pixmap that compositing managers can
// draw (_XROOTPMAP_ID and _XSETROOT_ID), either a checkerboard or a picture. Usage:
//   vitrion_root_background checker <square> <light #rrggbb> <dark #rrggbb>
//   vitrion_root_background image <file>
#include <xcb/xcb.h>

#include <QColor>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

QImage checkerboard(int width, int height, int square, const QColor& light, const QColor& dark)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = (((x / square) + (y / square)) % 2 ? dark : light).rgb();
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s checker <square> <light> <dark> | image <file>\n", argv[0]);
        return 2;
    }
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot connect to the X server\n");
        return 1;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&it);
    }
    xcb_screen_t* screen = it.data;
    const int width = screen->width_in_pixels;
    const int height = screen->height_in_pixels;

    QImage image;
    if (std::strcmp(argv[1], "checker") == 0 && argc >= 5) {
        image = checkerboard(width, height, std::atoi(argv[2]), QColor(argv[3]), QColor(argv[4]));
    } else if (std::strcmp(argv[1], "image") == 0) {
        image = QImage(QString::fromLocal8Bit(argv[2]))
                    .scaled(width, height, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
                    .copy(0, 0, width, height)
                    .convertToFormat(QImage::Format_RGB32);
    }
    if (image.isNull()) {
        std::fprintf(stderr, "no picture\n");
        return 2;
    }

    // The pixmap must outlive this client: the compositor reads it after we are gone.
    xcb_set_close_down_mode(c, XCB_CLOSE_DOWN_RETAIN_PERMANENT);
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, uint16_t(width), uint16_t(height));
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, 0, nullptr);
    const int rowsPerRequest = std::max(1, int((xcb_get_maximum_request_length(c) * 4 - 64) / (width * 4)));
    for (int y = 0; y < height; y += rowsPerRequest) {
        const int rows = std::min(rowsPerRequest, height - y);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, uint16_t(width), uint16_t(rows), 0, int16_t(y), 0,
                      screen->root_depth, uint32_t(width * 4 * rows), image.constScanLine(y));
    }
    const uint32_t background = pixmap;
    xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXMAP, &background);
    for (const char* name : {"_XROOTPMAP_ID", "_XSETROOT_ID", "ESETROOT_PMAP_ID"}) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, atom(c, name), XCB_ATOM_PIXMAP, 32, 1, &pixmap);
    }
    xcb_clear_area(c, 0, screen->root, 0, 0, 0, 0);
    xcb_free_gc(c, gc);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // round trip: all requests done
    xcb_disconnect(c);
    return 0;
}
