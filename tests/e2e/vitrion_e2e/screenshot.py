# Screenshots of the X screen as the user sees it (after compositing): captured with xwd, decoded
# here from the XWD format, read pixel by pixel, and saved as PNG when a case fails.
import struct
import subprocess
import zlib

_XWD_HEADER = struct.Struct(">25I")


class Image:
    """A 24-bit image; pixel(x, y) gives (r, g, b). Stored as 4 bytes a pixel, B G R X."""

    def __init__(self, width, height, data, stride, origin=(0, 0)):
        self.width, self.height, self.data, self.stride = width, height, data, stride
        self.origin = origin  # screen position of this image's (0, 0)

    def pixel(self, x, y):
        o = y * self.stride + x * 4
        d = self.data
        return d[o + 2], d[o + 1], d[o]

    def at(self, sx, sy):
        """Pixel at screen coordinates."""
        return self.pixel(sx - self.origin[0], sy - self.origin[1])

    def crop(self, x, y, width, height):
        """A sub-image; x, y in this image's coordinates."""
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + width), min(self.height, y + height)
        rows = [self.data[r * self.stride + x0 * 4:r * self.stride + x1 * 4] for r in range(y0, y1)]
        return Image(x1 - x0, y1 - y0, b"".join(rows), (x1 - x0) * 4,
                     (self.origin[0] + x0, self.origin[1] + y0))

    def row_bytes(self, y):
        return self.data[y * self.stride:y * self.stride + self.width * 4]

    def save_png(self, path):
        raw = bytearray()
        for y in range(self.height):
            raw.append(0)
            row = self.row_bytes(y)
            rgb = bytearray(self.width * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = row[2::4], row[1::4], row[0::4]
            raw += rgb

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 6))
                    + chunk(b"IEND", b""))


def decode_xwd(blob):
    fields = _XWD_HEADER.unpack_from(blob)
    (header_size, version, pixmap_format, depth, width, height, _xoff, byte_order, _unit, _bit_order,
     _pad, bits_per_pixel, bytes_per_line, _visual, red_mask, green_mask, blue_mask, _bits_rgb,
     _cmap_entries, ncolors) = fields[:20]
    if version != 7 or pixmap_format != 2 or bits_per_pixel != 32 or depth not in (24, 32):
        raise ValueError(f"unsupported XWD image: version {version}, format {pixmap_format}, "
                         f"{bits_per_pixel} bits per pixel, depth {depth}")
    if (red_mask, green_mask, blue_mask) != (0xFF0000, 0xFF00, 0xFF) or byte_order != 0:
        raise ValueError("unsupported XWD pixel layout")
    offset = header_size + ncolors * 12
    data = blob[offset:offset + bytes_per_line * height]
    if len(data) < bytes_per_line * height:
        raise ValueError("truncated XWD image")
    return Image(width, height, data, bytes_per_line)


def capture_screen(env, timeout=20):
    """The whole screen as composited (the root window with everything drawn on it)."""
    blob = subprocess.run(["xwd", "-root", "-silent"], env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, check=True, timeout=timeout).stdout
    return decode_xwd(blob)
