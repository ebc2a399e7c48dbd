#!/usr/bin/env python3
"""Pictures for the camserve demo, with the standard library only.

  pictures.py depth DEPTH.png OUT.png   16-bit depth (millimetres) in colour:
                                        near red, far blue, no reading black
  pictures.py cloud CLOUD.ply OUT.png   the binary PLY cloud seen from 25 degrees
                                        to the left, each point in its colour
"""
import math
import struct
import sys
import zlib

WIDTH, HEIGHT = 640, 480
VIEW_FOCAL = 560.0  # px: the rendering's pinhole
VIEW_TURN = math.radians(25)  # about the vertical axis through the cloud's middle
BACKGROUND = (24, 24, 32)


def write_png(path, width, height, rgb):
    """An 8-bit RGB PNG of `rgb` (bytes, rows top to bottom), filter 0 on every row."""
    raw = b"".join(b"\0" + rgb[y * width * 3:(y + 1) * width * 3] for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(
            ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def read_grey16_png(path):
    """The samples of a 16-bit greyscale, non-interlaced PNG, row by row."""
    data = open(path, "rb").read()
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 16 or colour != 0 or interlace != 0:
        sys.exit(f"pictures.py: {path} is not 16-bit grey")
    raw, stride, bpp = zlib.decompress(idat), width * 2, 2
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = previous[i], previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(struct.unpack(f">{width}H", line))
        previous = line
    return width, height, rows


def colour(t):
    """0 (near) red through yellow, green, cyan to 1 (far) blue."""
    h = 4 * min(max(t, 0.0), 1.0)
    i, f = int(h), h - int(h)
    stops = [(255, 40, 40), (255, 220, 40), (40, 200, 60), (40, 200, 220), (40, 60, 255), (40, 60, 255)]
    a, b = stops[i], stops[i + 1]
    return bytes(int(a[k] + (b[k] - a[k]) * f) for k in range(3))


def depth_picture(src, dst):
    width, height, rows = read_grey16_png(src)
    values = [v for row in rows for v in row if v]
    near, far = min(values), max(values)
    out = bytearray()
    for row in rows:
        for v in row:
            # On a log scale, so that near and far both show their shape.
            out += colour(math.log(v / near) / math.log(far / near)) if v else b"\0\0\0"
    write_png(dst, width, height, bytes(out))


def cloud_picture(src, dst):
    data = open(src, "rb").read()
    end = data.index(b"end_header\n") + len(b"end_header\n")
    header = data[:end].decode()
    count = int(header.split("element vertex ")[1].split()[0])
    coloured = "property uchar red" in header
    record = "<fffBBB" if coloured else "<fff"
    points = list(struct.iter_unpack(record, data[end:end + count * struct.calcsize(record)]))
    middle = sorted(p[2] for p in points)[len(points) // 2]
    cos_t, sin_t = math.cos(VIEW_TURN), math.sin(VIEW_TURN)
    depth = [math.inf] * (WIDTH * HEIGHT)
    image = bytearray(bytes(BACKGROUND) * (WIDTH * HEIGHT))
    for p in points:
        # Turn about the vertical axis through (0, 0, middle), then look from
        # 0.8 m further back.
        x, y, z = p[0], p[1], p[2] - middle
        x, z = cos_t * x - sin_t * z, sin_t * x + cos_t * z
        z += middle + 0.8
        if z <= 0.1:
            continue
        u, v = int(WIDTH / 2 + VIEW_FOCAL * x / z), int(HEIGHT / 2 + VIEW_FOCAL * y / z)
        rgb = bytes(p[3:6]) if coloured else colour(z / 5)
        for du in (0, 1):
            for dv in (0, 1):
                uu, vv = u + du, v + dv
                if 0 <= uu < WIDTH and 0 <= vv < HEIGHT and z < depth[vv * WIDTH + uu]:
                    depth[vv * WIDTH + uu] = z
                    image[3 * (vv * WIDTH + uu):3 * (vv * WIDTH + uu) + 3] = rgb
    write_png(dst, WIDTH, HEIGHT, bytes(image))


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] not in ("depth", "cloud"):
        sys.exit(__doc__)
    (depth_picture if sys.argv[1] == "depth" else cloud_picture)(sys.argv[2], sys.argv[3])
