#!/usr/bin/python3
"""The page in a real browser: headless Chromium, driven over its DevTools
port, opens the board's page, follows a rewrite of the display file, and
shows the same rows as /board.json, at a twelfth of the window's height each.
Its screenshot is saved for the README.

Arguments: the program, the screenshot's path."""

import asyncio
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Chromium, DevTools  # noqa: E402
from webtest import Program, check, get, need_websockets, until  # noqa: E402

need_websockets()
import websockets  # noqa: E402

exe = os.path.abspath(sys.argv[1])
shot = os.path.abspath(sys.argv[2])

DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo", "Main.txt")
FIRST = b"TIME: 09:58\r\nR\xe9sultats \x96 Finale\r\n 1  ESPA\xd1A\r\n"


def board_json(port):
    return json.loads(get(port, "/board.json")[2])


async def drive(devtools_url, program):
    port = program.port
    async with websockets.connect(devtools_url, max_size=None, open_timeout=10) as ws:
        tab = DevTools(ws)
        # The board is closed in a run without a display, so the page is asked
        # to show it anyway.
        # The size of the board's screenshot in the README, whatever the browser's own window.
        await tab.call("Emulation.setDeviceMetricsOverride", width=800, height=600, deviceScaleFactor=1, mobile=False)
        await tab.call("Page.navigate", url=f"http://127.0.0.1:{port}/?always=1")
        board = until(5, lambda: (lambda b: b if b["rows"][0] else None)(board_json(port)))
        state = await tab.shows(board)
        check(not state["hidden"] and state["rows"] == board["rows"],
              f"the page shows the board's rows of a Windows-1252 file ({state['rows'][:2]})")

        with open(DEMO, "rb") as f:
            program.write("Main.txt", f.read())
        board = until(5, lambda: (lambda b: b if b["version"] > board["version"] and "START LIST" in b["rows"] else None)(
            board_json(port)))
        check(board is not None, "the rewrite reached /board.json")
        state = await tab.shows(board)
        check(state["rows"] == board["rows"], "after a rewrite of the display file the page shows /board.json's rows")
        check(abs(state["rowHeight"] - state["viewport"] / 12) < 0.5,
              f"each row is a twelfth of the window ({state['rowHeight']:.2f} of {state['viewport']})")
        check(state["font"].replace('"', "").startswith(board["style"]["fontFamily"] + ","),
              f"rows use the board's font ({state['font']})")

        await tab.screenshot(shot)


def main():
    program = Program(exe, {"Main.txt": FIRST})
    try:
        with Chromium() as devtools_url:
            asyncio.run(drive(devtools_url, program))
    finally:
        program.stop()


if __name__ == "__main__":
    main()
