#!/usr/bin/python3
"""The board fanned out by the venue's engine: real nginx with Nchan started
through tools/stadium, the real program publishing to it (and serving, so the
board it follows can be read back). Subscribers of both kinds get the board
on connect and every rewrite; the publisher location refuses other
addresses; with the engine down the board goes on and stderr says so once;
with the engine back a new subscriber gets the current board at once.

Argument: the program."""

import asyncio
import base64
import hashlib
import json
import os
import shutil
import socket
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from webtest import Engine, Program, bitmap, check, fail, free_port, get, need_engine, need_websockets, until  # noqa: E402

need_engine()
need_websockets()
import websockets  # noqa: E402

exe = os.path.abspath(sys.argv[1])
PAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "web", "board.html")


def display(label):
    return f"TIME: {label}\r\n 1  RUSSIA   87.456\r\n".encode()


def board_json(program):
    return json.loads(get(program.port, "/board.json")[2])


def current(program, label):
    """The program's board once it shows this label, or None."""
    return until(5, lambda: (lambda b: b if b["rows"][0] == f"TIME: {label}" else None)(board_json(program)))


class EventSource:
    """An EventSource subscriber at the level of its socket."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.sock.sendall(b"GET /board/sub HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nAccept: text/event-stream\r\n\r\n" % port)
        self.data = b""

    def board_saying(self, label):
        """The first board on the stream whose first row shows this label."""
        while (board := self.next_board())["rows"][0] != f"TIME: {label}":
            pass
        return board

    def next_board(self):
        while True:
            head, sep, rest = self.data.partition(b"\ndata: ")
            if sep and b"\n" in rest:
                line, _, self.data = rest.partition(b"\n")
                return json.loads(line)
            chunk = self.sock.recv(65536)
            if not chunk:
                fail("the EventSource subscriber was closed")
            self.data += chunk

    def close(self):
        self.sock.close()


async def websocket_board(port, then=None):
    """The board a new WebSocket subscriber gets on connect, and after then() the next one."""
    async with websockets.connect(f"ws://127.0.0.1:{port}/board/sub", open_timeout=5) as ws:
        first = json.loads(await asyncio.wait_for(ws.recv(), 5))
        if then is None:
            return first, None
        then()
        return first, json.loads(await asyncio.wait_for(ws.recv(), 5))


def publish_from(source, port):
    """A POST to the publisher location made from the given local address."""
    with socket.create_connection(("127.0.0.1", port), timeout=5, source_address=(source, 0)) as s:
        s.sendall(b"POST /board/pub HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}")
        return int(s.recv(4096)[9:12])


def page_policy():
    """The Content-Security-Policy board.html needs: its script's and style's hashes."""
    text = open(PAGE, "rb").read()

    def digest(open_tag, close_tag):
        start = text.index(open_tag) + len(open_tag)
        body = text[start:text.index(close_tag, start)]
        return "'sha256-" + base64.b64encode(hashlib.sha256(body).digest()).decode() + "'"
    return digest(b"<script>", b"</script>"), digest(b"<style>", b"</style>")


def main():
    engine = Engine(free_port())
    picture_dir = tempfile.mkdtemp(prefix="scb-picture.")
    picture = os.path.join(picture_dir, "back.bmp")
    with open(picture, "wb") as f:
        f.write(bitmap(4, 2, (0, 0, 255)))
    settings = b"[Settings]\r\nBackgroundImage=" + picture.encode() + b"\r\n"
    program = Program(exe, {"Main.txt": display("first"), "Resolution.ini": settings},
                      args=["--publish", engine.publish_url])
    try:
        policy = get(engine.port, "/")[1].get("content-security-policy", "")
        check(all(h in policy for h in page_policy()),
              "the engine's policy allows board.html's script and style (deploy/ is up to date)")

        current(program, "first")
        # The publish is asynchronous: the engine may still hold the board from
        # before the program read the file, so subscribe once it has "first".
        events = until(5, lambda: (lambda e: e if e.next_board()["rows"][0] == "TIME: first" else e.close())(
            EventSource(engine.port)))
        check(events is not None, "an EventSource subscriber gets the board on connect")
        got, pushed = asyncio.run(websocket_board(engine.port, lambda: program.write("Main.txt", display("second"))))
        check(got["rows"][0] == "TIME: first", "a WebSocket subscriber gets the board on connect")
        check(pushed["rows"][0] == "TIME: second", "a WebSocket subscriber gets a rewrite pushed")
        check(events.board_saying("second")["version"] == pushed["version"],
              "an EventSource subscriber gets a rewrite pushed")
        events.close()

        status, headers, body = get(engine.port, f"/board/picture?v={pushed['picture']['version']}")
        check(pushed["picture"]["loaded"] and status == 200 and headers.get("content-type") == "image/png"
              and body.startswith(b"\x89PNG\r\n"), "the picture the board names is there as PNG")

        got = publish_from("127.0.0.2", engine.port)
        check(got == 403, f"a publish from 127.0.0.2 -> 403 (got {got})")

        engine.stop()
        program.write("Main.txt", display("engine down"))
        check(until(5, lambda: "cannot publish" in program.stderr()), "stderr says when publishing stops working")
        program.write("Main.txt", display("still down"))
        check(current(program, "still down") is not None, "with the engine down the board keeps following the file")
        engine.start()
        end = time.monotonic() + 2
        while True:
            board = asyncio.run(websocket_board(engine.port))[0]
            if board["rows"][0] == "TIME: still down" or time.monotonic() > end:
                break
            time.sleep(0.05)
        check(board["rows"][0] == "TIME: still down",
              "with the engine started again a new subscriber gets the current board within 2 s")
        err = program.stderr()
        check(err.count("cannot publish") == 1 and err.count("publishing the board to") == 1,
              f"stderr said so once, and once that it works again: {err!r}")
    finally:
        program.stop()
        engine.stop()
        shutil.rmtree(picture_dir, ignore_errors=True)


if __name__ == "__main__":
    main()
