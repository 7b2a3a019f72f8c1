# The few Xlib calls the harness makes itself (through ctypes, no extra packages): who owns the
# compositing-manager selection, and a root background pixmap that a compositor can draw.
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

_XA_PIXMAP = 20
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
