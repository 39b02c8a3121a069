#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/<target>/ from the cases the core
tests use. Run again after changing it; the files are kept in the tree."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def save(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# fuzz_ini: whole settings files and single values.
written = (b"[Settings]\r\nSLeft=801\r\nSTop=0\r\nSWidth=800\r\nSHeight=600\r\nBColor=8454143\r\n"
           b"ShowBorder=1\r\nFName=Arial\r\nFSize=18\r\nFBold=1\r\nFColor=255\r\nDisplayFile=/tmp/Main.txt\r\n"
           b"BackgroundImage=\r\n")
save("fuzz_ini", "written", written)
save("fuzz_ini", "handwritten", b"\xef\xbb\xbf; comment\n[other]\nSLeft=5\n[ settings ]\n  bcolor = 0x80FFFF \n"
     b"FName=\"Times New Roman\"\nShowBorder=5\nSLeft=-3\nsleft=7\n")
for i, v in enumerate([b"0", b"-2147483648", b"2147483647", b"2147483648", b"$FFFFFFFF", b"0x80ffff", b"X1",
                       b"  +12", b"12 ", b"1.5", b"00000000000000000042", b"$123456789", b"-", b"'7'"]):
    save("fuzz_ini", "value%02d" % i, v)
save("fuzz_ini", "garbage", bytes(range(256)) + b"\n[Settings]\nFSize=\x00 9\n")

# fuzz_preview: a text, then 0xFF-separated commands (op byte % 4: 0 add,
# 1 set text, 2 feed, 3 fetch lines).
FF = b"\xff"
start_list = b"\r\n\r\n\r\nTitle\r\nSTART LIST\r\n" + b"".join(b"%d. Team\r\n" % i for i in range(1, 11))
save("fuzz_preview", "startlist", start_list + FF + b"\x02")
save("fuzz_preview", "time", b"TIME: 14:07:33\r\n" + b"".join(b"line %d\r\n" % i for i in range(20)) + FF + b"\x02")
save("fuzz_preview", "empty_feeds", FF + b"\x02" + FF + b"\x02" + FF + b"\x02" + FF + b"\x02")
save("fuzz_preview", "lone_lf", b"A\nB\n\n" + FF + b"\x00X" + FF + b"\x03\x00\x01\x02\x05")
save("fuzz_preview", "lone_cr", b"A\rB" + FF + b"\x00C\rD" + FF + b"\x01\n\n" + FF + b"\x02")
save("fuzz_preview", "add_breaks", b"A\r\n" + FF + b"\x00X\nY" + FF + b"\x04" + FF + b"\x00" + FF + b"\x02")
save("fuzz_preview", "nul", b"a\x00b\r\ntime:\r\nTIME:\x00\r\n" + FF + b"\x02")

# fuzz_picture: first byte picks the name (0 .bmp, 1 .ico, 2 .emf, 3 .wmf).


def bmp(width=4, height=3, bits=24, compression=0, header=40, colors=0, pixels=None):
    if header == 12:
        dib = struct.pack("<IHHHH", 12, width & 0xFFFF, height & 0xFFFF, 1, bits)
    else:
        dib = struct.pack("<IiiHHIIiiII", header, width, height, 1, bits, compression, 0, 2835, 2835, colors, 0)
        dib = dib.ljust(header, b"\0")
    tables = b""
    if compression == 3 and header == 40:
        tables += struct.pack("<III", 0xF800, 0x07E0, 0x001F)
    if bits <= 8:
        n = colors or (1 << bits)
        entry = 3 if header == 12 else 4
        tables += b"".join(bytes([i & 255, 255 - (i & 255), (i // 2) & 255, 0])[:entry] for i in range(n))
    stride = (width * bits + 31) // 32 * 4
    if pixels is None:
        pixels = bytes(stride * abs(height))
    offset = 14 + len(dib) + len(tables)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + dib + tables + pixels


save("fuzz_picture", "bmp24", b"\x00" + bmp())
save("fuzz_picture", "bmp1", b"\x00" + bmp(bits=1, width=9, height=-2))
save("fuzz_picture", "bmp8rle", b"\x00" + bmp(bits=8, compression=1, colors=2, pixels=b"\x04\x01\x00\x00\x00\x03abc\x00\x00\x02\x01\x00\x01"))
save("fuzz_picture", "bmp4rle", b"\x00" + bmp(bits=4, compression=2, colors=2, pixels=b"\x04\x11\x00\x05\x12\x30\x00\x00\x00\x01"))
save("fuzz_picture", "bmp16bf", b"\x00" + bmp(bits=16, compression=3))
save("fuzz_picture", "bmp32v5", b"\x00" + bmp(bits=32, header=124))
save("fuzz_picture", "bmpcore", b"\x00" + bmp(bits=8, header=12, width=2, height=2))
save("fuzz_picture", "bmpshort", b"\x00" + bmp()[:40])
icon_dib = struct.pack("<IiiHHIIiiII", 40, 2, 4, 1, 32, 0, 0, 0, 0, 0, 0) + bytes(2 * 2 * 4) + bytes(4 * 2)
ico = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 2, 2, 0, 0, 1, 32, len(icon_dib), 22) + icon_dib
save("fuzz_picture", "ico", b"\x01" + ico)
png = b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + b"IHDR" + struct.pack(">II", 16, 16) + b"\x08\x06\x00\x00\x00" + bytes(8)
save("fuzz_picture", "icopng", b"\x01" + struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, len(png), 22) + png)
emf = struct.pack("<II", 1, 88) + bytes(32) + struct.pack("<I", 0x464D4520) + bytes(44)
save("fuzz_picture", "emf", b"\x02" + emf)
save("fuzz_picture", "wmf", b"\x03" + struct.pack("<HHHIHIH", 1, 9, 0x0300, 0, 0, 0, 0))
save("fuzz_picture", "wmfplaceable", b"\x03" + struct.pack("<I", 0x9AC6CDD7) + bytes(18) + struct.pack("<HHHIHIH", 2, 9, 0x0100, 0, 0, 0, 0))
save("fuzz_picture", "zero_ico", b"\x01")

# fuzz_request_gate: byte 0 picks the address served on (0 any, 1 127.0.0.1:8080,
# 2 [::1]:80, 3 192.168.1.20:8080), byte 1 the piece size; then a connection's bytes.
handshake = (b"Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
             b"Sec-WebSocket-Version: 13\r\n")
for name, data in [
        ("pipelined", b"\x01\x07GET / HTTP/1.1\r\nHost: 127.0.0.1:8080\r\n\r\nGET /board.json HTTP/1.1\r\n"
                      b"Host: localhost:8080\r\nConnection: close\r\n\r\n"),
        ("websocket", b"\x01\x10GET /ws HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nOrigin: http://localhost:8080\r\n"
                      + handshake + b"\r\n"),
        ("bare_upgrade", b"\x00\x03GET /ws HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\n\r\n"),
        ("folded", b"\x00\x05GET /ws HTTP/1.1\r\nHost: a\r\n" + handshake + b"X: 1\r\n Origin: http://evil\r\n\r\n"),
        ("body", b"\x02\x01\r\n\nGET /?a=b HTTP/1.0\nHost: [::1]\nContent-Length: 4\n\nabcdGET /picture HTTP/1.1\r\n\r\n"),
        ("foreign_host", b"\x03\x20GET / HTTP/1.1\r\nHost: evil.example:8080\r\n\r\nPOST / HTTP/1.1\r\n\r\n"),
]:
    save("fuzz_request_gate", name, data)
