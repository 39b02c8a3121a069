#!/usr/bin/python3
"""The board's web server as a browser meets it, checked with a real client
against the real program: where it listens, what it serves and refuses, the
WebSocket's Origin check and snapshots, the caps on connections, the deadline
for a request head, and that without --serve there is no network socket at all.

Argument: the program."""

import asyncio
import json
import os
import select
import shutil
import socket
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from webtest import Program, bitmap, check, fail, get, http, need_websockets, until  # noqa: E402

need_websockets()
import websockets  # noqa: E402

exe = os.path.abspath(sys.argv[1])

# Windows-1252 bytes (é, €, en dash, an unassigned code) in a file that is not UTF-8.
DISPLAY = b"TIME: 10:02\r\nR\xe9sultats \x80 \x96 x\x81y\r\n 1  ESPA\xd1A\r\n"


def board_rows(data):
    """The rows the board shows for a file starting with TIME:, decoded by its rule."""
    text = data.decode("utf-8") if is_utf8(data) else data.decode("cp1252", "replace")
    lines = text.split("\r\n")
    return (lines + [" "] * 12)[:12]


def is_utf8(data):
    try:
        data.decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


def main():
    # Without --serve: once start-up has set up its folder watch, the program
    # holds no TCP or UDP socket.
    quiet = Program(exe, {"Main.txt": DISPLAY}, serve=None)
    try:
        check(until(10, lambda: "anon_inode:inotify" in quiet.descriptors()), "without --serve the program starts")
        check(quiet.inet_sockets() == [], "without --serve the program holds no network socket")
    finally:
        quiet.stop()

    picture_dir = tempfile.mkdtemp(prefix="scb-picture.")
    picture = os.path.join(picture_dir, "back.bmp")
    with open(picture, "wb") as f:
        f.write(bitmap(4, 2, (0, 0, 255)))
    settings = b"[Settings]\r\nBackgroundImage=" + picture.encode() + b"\r\n"
    program = Program(exe, {"Main.txt": DISPLAY, "Resolution.ini": settings})
    try:
        run(program)
    finally:
        program.stop()
        shutil.rmtree(picture_dir, ignore_errors=True)


def run(program):
    port = program.port
    listening = [s for s in program.inet_sockets() if s[3] == "0A"]
    check(listening == [("tcp", "0100007F", port, "0A")], f"serves on 127.0.0.1 only by default ({listening})")

    # Nothing else is connected now, so the count is exact.
    asyncio.run(connection_cap(port))

    answers = [
        # request, status, content type
        (b"GET / HTTP/1.1\r\n\r\n", 200, "text/html; charset=utf-8"),
        (b"GET /board.json HTTP/1.1\r\n\r\n", 200, "application/json"),
        (b"GET /?transparent=1 HTTP/1.1\r\n\r\n", 200, "text/html; charset=utf-8"),
        (b"GET /picture HTTP/1.1\r\n\r\n", 200, "image/png"),
        (b"GET /nothing HTTP/1.1\r\n\r\n", 404, None),
        (b"GET /Main.txt HTTP/1.1\r\n\r\n", 404, None),
        (b"GET /../Main.txt HTTP/1.1\r\n\r\n", 404, None),
        (b"GET /ws HTTP/1.1\r\n\r\n", 404, None),  # not as a WebSocket
        (b"GET /ws HTTP/1.1\r\nUpgrade: websocket\r\n\r\n", 400, None),  # no handshake
        (b"GET / HTTP/1.1\r\nHost: evil.example:%d\r\n\r\n" % port, 421, None),  # a foreign name
        (b"POST / HTTP/1.1\r\nContent-Length: 2\r\n\r\nhi", 405, None),
        (b"DELETE / HTTP/1.1\r\n\r\n", 405, None),
        (b"GET / HTTP/1.1\r\nX-Long: " + b"a" * 70000, 413, None),  # a head that never ends
        (b"GET / HTTP/1.1\r\nContent-Length: 100000\r\n\r\n" + b"b" * 100000, 413, None),
    ]
    for request, status, content_type in answers:
        name = request[:40].split(b"\r\n")[0].decode()
        answer = http(port, request)
        check(answer is not None and answer[0] == status, f"{name!r} -> {status} (got {answer and answer[0]})")
        headers = answer[1]
        check(headers.get("x-content-type-options") == "nosniff"
              and headers.get("content-security-policy", "").startswith("default-src 'self';"),
              f"{name!r} carries nosniff and the page's own-origin policy")
        if content_type:
            check(headers.get("content-type") == content_type, f"{name!r} is {content_type}")

    # The board is filled at the first poll tick, a second after start-up.
    snapshot = until(5, lambda: (lambda b: b if b["rows"][0] else None)(json.loads(get(port, "/board.json")[2])))
    check(snapshot and snapshot["rows"] == board_rows(DISPLAY), "board.json holds the board's rows of a Windows-1252 file")
    check(snapshot["picture"]["loaded"] and (snapshot["picture"]["width"], snapshot["picture"]["height"]) == (4, 2),
          "board.json names the loaded picture")
    check(get(port, "/picture")[2].startswith(b"\x89PNG\r\n"), "/picture is the picture as PNG")

    asyncio.run(web_sockets(program, snapshot))

    # A request head that never ends is cut off after its own deadline (2 s).
    slow = socket.create_connection(("127.0.0.1", port))
    slow.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n")
    slow_since = time.monotonic()
    closed = until(6, lambda: closed_by_peer(slow))
    check(closed and time.monotonic() - slow_since >= 1.5, "an unfinished request is closed after its deadline")


def closed_by_peer(sock):
    if not select.select([sock], [], [], 0)[0]:
        return False
    try:
        return sock.recv(100) == b""
    except ConnectionResetError:
        return True


async def web_sockets(program, snapshot):
    port = program.port
    url = f"ws://127.0.0.1:{port}/ws"
    origins = [
        # Origin header, accepted
        (None, True),
        (f"http://127.0.0.1:{port}", True),
        ("http://venue.example", False),
    ]
    for origin, accepted in origins:
        try:
            async with websockets.connect(url, origin=origin, open_timeout=5) as ws:
                first = json.loads(await asyncio.wait_for(ws.recv(), 5))
                check(accepted, f"Origin {origin} accepted")
                check(first == snapshot, f"Origin {origin}: the whole board arrives on connect")
        except websockets.exceptions.InvalidStatusCode as e:
            check(not accepted and e.status_code == 403, f"Origin {origin} refused with {e.status_code}")
    try:
        async with websockets.connect(f"ws://127.0.0.1:{port}/other", open_timeout=5):
            fail("a WebSocket on another path was accepted")
    except websockets.exceptions.InvalidStatusCode as e:
        check(e.status_code == 404, "a WebSocket on any path but /ws -> 404")

    async with websockets.connect(url, open_timeout=5) as ws:
        first = json.loads(await asyncio.wait_for(ws.recv(), 5))
        # Anything a client sends is ignored: the board is read-only.
        await ws.send(json.dumps({"rows": ["hacked"] * 12}))
        rewrite = b"TIME: 10:03\r\nNeue Zeile \xfc\r\n"
        program.write("Main.txt", rewrite)
        change = json.loads(await asyncio.wait_for(ws.recv(), 5))
        check(change["version"] > first["version"] and change["rows"] == board_rows(rewrite),
              "a rewrite of the display file is pushed at once")

    status = get(port, "/board.json")
    check(json.loads(status[2])["rows"] == board_rows(rewrite), "nothing a client sends changes the board")


async def connection_cap(port):
    """One address holds 16 places; 200 screens in all hold theirs; one more
    is turned away until one leaves."""
    held = []

    async def connect(address):
        held.append(await websockets.connect(f"ws://127.0.0.1:{port}/ws", open_timeout=10,
                                             local_addr=(address, 0)))

    try:
        for _ in range(16):
            await connect("127.0.0.1")
        try:
            await connect("127.0.0.1")
            fail("a 17th connection from one address was accepted")
        except websockets.exceptions.InvalidStatusCode as e:
            check(e.status_code == 503, f"past 16 connections from one address -> 503 (got {e.status_code})")
        address = 2
        while len(held) < 201:
            try:
                await connect(f"127.0.0.{address}")
            except websockets.exceptions.InvalidStatusCode as e:
                check(e.status_code == 503, f"past 200 live connections -> 503 (got {e.status_code})")
                break
            if len(held) % 16 == 0:
                address += 1
        check(len(held) == 200, f"200 live connections at most ({len(held)} WebSockets)")
    finally:
        for ws in held:
            await ws.close()
    answer = until(5, lambda: (lambda a: a if a and a[0] == 200 else None)(get(port, "/board.json")))
    check(answer is not None, "closed connections free their places")


if __name__ == "__main__":
    main()
