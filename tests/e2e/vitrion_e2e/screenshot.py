# Screenshots of the X screen as the user sees it (after compositing): captured as XWD dumps, decoded
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
    """Decodes a ZPixmap XWD dump of a TrueColor screen at 24 or 32 bits a pixel, either byte order
    (Xvfb picks its pixmap format from its -pixdepths and the server's build)."""
    fields = _XWD_HEADER.unpack_from(blob)
    (header_size, version, pixmap_format, depth, width, height, _xoff, byte_order, _unit, _bit_order,
     _pad, bits_per_pixel, bytes_per_line, _visual, red_mask, green_mask, blue_mask, _bits_rgb,
     _cmap_entries, ncolors) = fields[:20]
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32) or depth not in (24, 32):
        raise ValueError(f"unsupported XWD image: version {version}, format {pixmap_format}, "
                         f"{bits_per_pixel} bits per pixel, depth {depth}")
    masks = (red_mask, green_mask, blue_mask)
    if sorted(masks) != [0xFF, 0xFF00, 0xFF0000] or byte_order not in (0, 1):
        raise ValueError("unsupported XWD pixel layout")
    offset = header_size + ncolors * 12
    data = blob[offset:offset + bytes_per_line * height]
    if len(data) < bytes_per_line * height:
        raise ValueError("truncated XWD image")
    size = bits_per_pixel // 8
    if size == 4 and byte_order == 0 and masks == (0xFF0000, 0xFF00, 0xFF):
        return Image(width, height, data, bytes_per_line)
    # Byte position of each channel inside one pixel, from its mask and the dump's byte order.
    def position(mask):
        shift = mask.bit_length() - 8
        index = shift // 8
        return index if byte_order == 0 else size - 1 - index
    red, green, blue = (position(m) for m in masks)
    out = bytearray(width * height * 4)
    for y in range(height):
        row = data[y * bytes_per_line:y * bytes_per_line + width * size]
        base = y * width * 4
        out[base + 0:base + width * 4:4] = row[blue::size]
        out[base + 1:base + width * 4:4] = row[green::size]
        out[base + 2:base + width * 4:4] = row[red::size]
    return Image(width, height, bytes(out), width * 4)


def capture_screen(env, timeout=20):
    """The whole screen as composited (the root window with everything drawn on it). ImageMagick's
    import reads what the compositor drew; xwd -root would read the redirected windows' own
    pixmaps, which show a translucent window as if nothing were behind it."""
    blob = subprocess.run(["import", "-window", "root", "xwd:-"], env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, check=True, timeout=timeout).stdout
    return decode_xwd(blob)
