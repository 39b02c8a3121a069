#!/usr/bin/env python3
"""Reads pixels of a binary PPM screenshot (what `import ... ppm:file` writes).

  pixels.py IMAGE rgb X Y
      prints "R G B" of one pixel
  pixels.py IMAGE count X Y W H R G B TOLERANCE
      prints how many pixels of the rectangle lie within TOLERANCE of R G B
      (each channel)
  pixels.py IMAGE diff OTHER X Y W H
      prints how many pixels of the rectangle differ between the two images

  pixels.py IMAGE -
      reads one such query per line from standard input ("rgb 3 4",
      "count ..."), prints one answer per line: one start-up for many reads

Coordinates are those of the image; rectangles are clipped to it.
"""

import sys


def load(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            while data[pos:pos + 1] not in (b"\n", b""):
                pos += 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6" or int(fields[3]) > 255:
        raise SystemExit(f"pixels.py: {path}: not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:]
    if len(pixels) < width * height * 3:
        raise SystemExit(f"pixels.py: {path}: cut short")
    return width, height, pixels


def clip(image, x, y, w, h):
    width, height, _ = image
    x0, y0 = max(0, x), max(0, y)
    x1, y1 = min(width, x + w), min(height, y + h)
    return x0, y0, max(x0, x1), max(y0, y1)


def answer(image, command, args):
    width, _, px = image
    if command == "rgb":
        x, y = int(args[0]), int(args[1])
        i = (y * width + x) * 3
        return f"{px[i]} {px[i + 1]} {px[i + 2]}"
    if command == "count":
        x, y, w, h, r, g, b, tol = (int(a) for a in args[:8])
        x0, y0, x1, y1 = clip(image, x, y, w, h)
        n = 0
        for row in range(y0, y1):
            base = row * width * 3
            for col in range(x0, x1):
                i = base + col * 3
                if abs(px[i] - r) <= tol and abs(px[i + 1] - g) <= tol and abs(px[i + 2] - b) <= tol:
                    n += 1
        return str(n)
    if command == "diff":
        other = load(args[0])
        if other[0] != width or other[1] != image[1]:
            raise SystemExit("pixels.py: images differ in size")
        x, y, w, h = (int(a) for a in args[1:5])
        x0, y0, x1, y1 = clip(image, x, y, w, h)
        n = 0
        for row in range(y0, y1):
            a = row * width * 3
            line_a = px[a + x0 * 3:a + x1 * 3]
            line_b = other[2][a + x0 * 3:a + x1 * 3]
            if line_a != line_b:
                n += sum(1 for i in range(0, len(line_a), 3) if line_a[i:i + 3] != line_b[i:i + 3])
        return str(n)
    raise SystemExit(__doc__)


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    image = load(argv[1])
    if argv[2] == "-":
        for line in sys.stdin:
            words = line.split()
            if words:
                print(answer(image, words[0], words[1:]))
    else:
        print(answer(image, argv[2], argv[3:]))


if __name__ == "__main__":
    main(sys.argv)
