# The few Xlib calls the harness makes itself (through ctypes, no extra packages): who owns the
# compositing-manager selection, a root background pixmap that a compositor can draw, and, for
# timing a start, finding a program's window and reading one of its pixels without a subprocess.
import ctypes

_x11 = ctypes.CDLL("libX11.so.6")
_vp, _ulong, _int, _uint = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_uint


def _declare(name, restype, *argtypes):
    fn = getattr(_x11, name)
    fn.restype = restype
    fn.argtypes = list(argtypes)


_declare("XOpenDisplay", _vp, ctypes.c_char_p)
_declare("XCloseDisplay", _int, _vp)
_declare("XDefaultScreen", _int, _vp)
_declare("XRootWindow", _ulong, _vp, _int)
_declare("XDisplayWidth", _int, _vp, _int)
_declare("XDisplayHeight", _int, _vp, _int)
_declare("XDefaultDepth", _int, _vp, _int)
_declare("XInternAtom", _ulong, _vp, ctypes.c_char_p, _int)
_declare("XGetSelectionOwner", _ulong, _vp, _ulong)
_declare("XCreatePixmap", _ulong, _vp, _ulong, _uint, _uint, _uint)
_declare("XCreateGC", _vp, _vp, _ulong, _ulong, _vp)
_declare("XFreeGC", _int, _vp, _vp)
_declare("XSetForeground", _int, _vp, _vp, _ulong)
_declare("XFillRectangle", _int, _vp, _ulong, _vp, _int, _int, _uint, _uint)
_declare("XChangeProperty", _int, _vp, _ulong, _ulong, _ulong, _int, _int, _vp, _int)
_declare("XSetWindowBackgroundPixmap", _int, _vp, _ulong, _ulong)
_declare("XClearWindow", _int, _vp, _ulong)
_declare("XSetCloseDownMode", _int, _vp, _int)
_declare("XSync", _int, _vp, _int)
_declare("XQueryTree", _int, _vp, _ulong, ctypes.POINTER(_ulong), ctypes.POINTER(_ulong),
         ctypes.POINTER(ctypes.POINTER(_ulong)), ctypes.POINTER(_uint))
_declare("XFree", _int, _vp)
_declare("XGetWindowProperty", _int, _vp, _ulong, _ulong, ctypes.c_long, ctypes.c_long, _int, _ulong,
         ctypes.POINTER(_ulong), ctypes.POINTER(_int), ctypes.POINTER(_ulong), ctypes.POINTER(_ulong),
         ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte)))
_declare("XGetImage", _vp, _vp, _ulong, _int, _int, _uint, _uint, _ulong, _int)
_declare("XGetPixel", _ulong, _vp, _int, _int)
_declare("XDestroyImage", _int, _vp)
_declare("XGetGeometry", _int, _vp, _ulong, ctypes.POINTER(_ulong), ctypes.POINTER(_int), ctypes.POINTER(_int),
         ctypes.POINTER(_uint), ctypes.POINTER(_uint), ctypes.POINTER(_uint), ctypes.POINTER(_uint))
_declare("XTranslateCoordinates", _int, _vp, _ulong, _ulong, _int, _int, ctypes.POINTER(_int),
         ctypes.POINTER(_int), ctypes.POINTER(_ulong))
_composite = ctypes.CDLL("libXcomposite.so.1")
_composite.XCompositeGetOverlayWindow.restype = _ulong
_composite.XCompositeGetOverlayWindow.argtypes = [_vp, _ulong]
_composite.XCompositeReleaseOverlayWindow.restype = None
_composite.XCompositeReleaseOverlayWindow.argtypes = [_vp, _ulong]
_ERROR_HANDLER = ctypes.CFUNCTYPE(_int, _vp, _vp)
_declare("XSetErrorHandler", _vp, _ERROR_HANDLER)


# A window may go or be unmapped between two calls; Xlib's default handler would end the process.
@_ERROR_HANDLER
def _ignore_error(display, event):
    return 0


_x11.XSetErrorHandler(_ignore_error)

_XA_PIXMAP = 20
_XA_CARDINAL = 6
_ALL_PLANES = ~0 & 0xFFFFFFFFFFFFFFFF
_Z_PIXMAP = 2
_PROP_MODE_REPLACE = 0
_RETAIN_PERMANENT = 1


class Display:
    def __init__(self, name):
        self.handle = _x11.XOpenDisplay(name.encode())
        if not self.handle:
            raise RuntimeError(f"cannot open X display {name}")
        self.screen = _x11.XDefaultScreen(self.handle)
        self.root = _x11.XRootWindow(self.handle, self.screen)

    def close(self):
        if self.handle:
            _x11.XCloseDisplay(self.handle)
            self.handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def atom(self, name):
        return _x11.XInternAtom(self.handle, name.encode(), 0)

    def compositor_running(self):
        # X11 EWMH: a compositing manager owns the selection _NET_WM_CM_S<screen>.
        return _x11.XGetSelectionOwner(self.handle, self.atom(f"_NET_WM_CM_S{self.screen}")) != 0

    def size(self):
        return _x11.XDisplayWidth(self.handle, self.screen), _x11.XDisplayHeight(self.handle, self.screen)

    def set_root_bands(self, colors, band_height):
        """Fills the root background with horizontal bands cycling through colors (0xRRGGBB) and
        publishes the pixmap as _XROOTPMAP_ID, which is where compositors read the wallpaper from.
        The pixmap outlives this connection (RetainPermanent), as wallpaper setters do."""
        d = self.handle
        width, height = self.size()
        pixmap = _x11.XCreatePixmap(d, self.root, width, height, _x11.XDefaultDepth(d, self.screen))
        gc = _x11.XCreateGC(d, pixmap, 0, None)
        for index, top in enumerate(range(0, height, band_height)):
            _x11.XSetForeground(d, gc, colors[index % len(colors)])
            _x11.XFillRectangle(d, pixmap, gc, 0, top, width, band_height)
        _x11.XFreeGC(d, gc)
        value = (_ulong * 1)(pixmap)
        for name in ("_XROOTPMAP_ID", "ESETROOT_PMAP_ID"):
            _x11.XChangeProperty(d, self.root, self.atom(name), _XA_PIXMAP, 32, _PROP_MODE_REPLACE, value, 1)
        _x11.XSetWindowBackgroundPixmap(d, self.root, pixmap)
        _x11.XClearWindow(d, self.root)
        _x11.XSetCloseDownMode(d, _RETAIN_PERMANENT)
        _x11.XSync(d, 0)

    def _children(self, window):
        root, parent = _ulong(), _ulong()
        children, count = ctypes.POINTER(_ulong)(), _uint()
        if not _x11.XQueryTree(self.handle, window, ctypes.byref(root), ctypes.byref(parent),
                               ctypes.byref(children), ctypes.byref(count)):
            return []
        found = [children[i] for i in range(count.value)]
        if children:
            _x11.XFree(children)
        return found

    def _cardinal(self, window, name):
        kind, fmt, count, after = _ulong(), _int(), _ulong(), _ulong()
        data = ctypes.POINTER(ctypes.c_ubyte)()
        status = _x11.XGetWindowProperty(self.handle, window, self.atom(name), 0, 1, 0, _XA_CARDINAL,
                                         ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(count),
                                         ctypes.byref(after), ctypes.byref(data))
        value = None
        if status == 0 and data and count.value == 1 and fmt.value == 32:
            value = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0]
        if data:
            _x11.XFree(data)
        return value

    def window_of_pid(self, pid):
        """A top-level window (or the client inside a window manager's frame) whose _NET_WM_PID is
        pid, or None."""
        for top in self._children(self.root):
            for window in [top] + self._children(top):
                if self._cardinal(window, "_NET_WM_PID") == pid:
                    return window
        return None

    def window_size(self, window):
        """(width, height) of a window, or None once it is gone."""
        root, x, y = _ulong(), _int(), _int()
        width, height, border, depth = _uint(), _uint(), _uint(), _uint()
        if not _x11.XGetGeometry(self.handle, window, ctypes.byref(root), ctypes.byref(x), ctypes.byref(y),
                                 ctypes.byref(width), ctypes.byref(height), ctypes.byref(border),
                                 ctypes.byref(depth)):
            return None
        return width.value, height.value

    def screen_position(self, window):
        """Where a window's top-left corner is on the screen, or None once it is gone."""
        x, y, child = _int(), _int(), _ulong()
        if not _x11.XTranslateCoordinates(self.handle, window, self.root, 0, 0, ctypes.byref(x), ctypes.byref(y),
                                          ctypes.byref(child)):
            return None
        return x.value, y.value

    def screen_pixel(self, x, y):
        """The pixel the screen shows at (x, y): with a compositor, read from the overlay window it
        composites into (the root holds only the windows' own contents then)."""
        if not self.compositor_running():
            return self.pixel(self.root, x, y)
        overlay = _composite.XCompositeGetOverlayWindow(self.handle, self.root)
        try:
            return self.pixel(overlay, x, y)
        finally:
            _composite.XCompositeReleaseOverlayWindow(self.handle, self.root)

    def pixel(self, window, x, y):
        """The window's own pixel at (x, y) as (r, g, b), or None while it cannot be read."""
        image = _x11.XGetImage(self.handle, window, x, y, 1, 1, _ALL_PLANES, _Z_PIXMAP)
        if not image:
            return None
        value = _x11.XGetPixel(image, 0, 0)
        _x11.XDestroyImage(image)
        return (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF
