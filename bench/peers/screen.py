# What the peers benchmark reads from the X server over one connection of its own, without a
# subprocess per look: the window manager's client list, a window's pid, and how many of a
# window's own pixels are bright (text), on top of the end-to-end harness's Xlib calls.
import ctypes
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))

from vitrion_e2e.xlib import Display, _x11  # noqa: E402

_int = ctypes.c_int


class _XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage, as far as the pixels go.
    _fields_ = [("width", _int), ("height", _int), ("xoffset", _int), ("format", _int),
                ("data", ctypes.POINTER(ctypes.c_ubyte)), ("byte_order", _int), ("bitmap_unit", _int),
                ("bitmap_bit_order", _int), ("bitmap_pad", _int), ("depth", _int),
                ("bytes_per_line", _int), ("bits_per_pixel", _int)]


_ANY_PROPERTY_TYPE = 0
_ALL_PLANES = 0xFFFFFFFF
_Z_PIXMAP = 2
# Green channel above 160: text and inverse cells in every terminal's default or configured
# colours, never their dark backgrounds.
_BRIGHT = bytes(1 if value > 160 else 0 for value in range(256))


class Screen(Display):
    def _longs(self, window, name, count=1024):
        kind, fmt, items, after = ctypes.c_ulong(), _int(), ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.POINTER(ctypes.c_ubyte)()
        status = _x11.XGetWindowProperty(self.handle, window, self.atom(name), 0, count, 0, _ANY_PROPERTY_TYPE,
                                         ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(items),
                                         ctypes.byref(after), ctypes.byref(data))
        values = []
        if status == 0 and data and fmt.value == 32:
            longs = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))
            values = [longs[i] for i in range(items.value)]
        if data:
            _x11.XFree(data)
        return values

    def clients(self):
        """The windows the window manager manages, oldest first."""
        return self._longs(self.root, "_NET_CLIENT_LIST")

    def pid_of(self, window):
        values = self._longs(window, "_NET_WM_PID")
        return values[0] if values else None

    def bright_pixels(self, window, x, y, width, height):
        """How many of the window's own pixels in the rectangle are bright (text), or None while
        it cannot be read."""
        handle = _x11.XGetImage(self.handle, window, x, y, width, height, _ALL_PLANES, _Z_PIXMAP)
        if not handle:
            return None
        try:
            image = ctypes.cast(handle, ctypes.POINTER(_XImage)).contents
            if image.bits_per_pixel != 32:
                raise RuntimeError("expected 32 bits per pixel")
            data = ctypes.string_at(image.data, image.bytes_per_line * height)
        finally:
            _x11.XDestroyImage(handle)
        return data[1::4].translate(_BRIGHT).count(1)
