#!/usr/bin/python3
"""The page in a real browser: headless Chromium, driven over its DevTools
port, opens the board's page, follows a rewrite of the display file, and
shows the same rows as /board.json, at a twelfth of the window's height each.
Its screenshot is saved for the README.

Arguments: the program, the screenshot's path."""

import asyncio
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from webtest import Program, check, fail, get, need_websockets, skip, until  # noqa: E402

need_websockets()
import websockets  # noqa: E402

exe = os.path.abspath(sys.argv[1])
shot = os.path.abspath(sys.argv[2])
browser = shutil.which("chromium") or shutil.which("chromium-browser")
if not browser:
    skip("chromium is not installed (tools/install-deps lists it)")

DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo", "Main.txt")
FIRST = b"TIME: 09:58\r\nR\xe9sultats \x96 Finale\r\n 1  ESPA\xd1A\r\n"

# What the page shows: its version of the board, its rows, and their sizes.
PAGE_STATE = """JSON.stringify({
  version: document.body.dataset.version,
  hidden: document.getElementById('board').hidden,
  rows: [...document.querySelectorAll('.row')].map(r => r.textContent),
  rowHeight: document.querySelector('.row').getBoundingClientRect().height,
  viewport: innerHeight,
  font: getComputedStyle(document.querySelector('.row')).fontFamily,
})"""


class DevTools:
    def __init__(self, ws):
        self.ws = ws
        self.next_id = 0

    async def call(self, method, **params):
        self.next_id += 1
        await self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            reply = json.loads(await asyncio.wait_for(self.ws.recv(), 20))
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    fail(f"{method}: {reply['error']}")
                return reply["result"]

    async def page_state(self):
        result = await self.call("Runtime.evaluate", expression=PAGE_STATE, returnByValue=True)
        # None while the page is still loading and its script has not run.
        value = result["result"].get("value")
        return json.loads(value) if value else None

    async def shows(self, board, seconds=10):
        """Waits until the page has drawn this version of the board."""
        end = time.monotonic() + seconds
        while True:
            state = await self.page_state()
            if state and state["version"] == str(board["version"]):
                return state
            if time.monotonic() > end:
                fail(f"the page did not draw version {board['version']} of the board (it shows {state})")
            await asyncio.sleep(0.05)


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

        picture = await tab.call("Page.captureScreenshot", format="png")
        os.makedirs(os.path.dirname(shot), exist_ok=True)
        with open(shot, "wb") as f:
            f.write(base64.b64decode(picture["data"]))
        print(f"ok: screenshot saved to {shot}")


def devtools_page(profile):
    """The page target's DevTools address, once the browser has announced its port."""
    port_file = os.path.join(profile, "DevToolsActivePort")
    if not until(20, lambda: os.path.exists(port_file) and open(port_file).read().count("\n") >= 1):
        fail("chromium did not open its DevTools port")
    port = int(open(port_file).read().split("\n")[0])
    import urllib.request
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    targets = until(10, lambda: [t for t in json.loads(opener.open(f"http://127.0.0.1:{port}/json/list").read())
                                 if t.get("type") == "page"])
    if not targets:
        fail("chromium has no page to drive")
    return targets[0]["webSocketDebuggerUrl"]


def main():
    program = Program(exe, {"Main.txt": FIRST})
    profile = tempfile.mkdtemp(prefix="scb-chromium.")
    chromium = subprocess.Popen(
        [browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--no-default-browser-check",
         "--no-proxy-server", "--hide-scrollbars", "--window-size=800,600", "--remote-debugging-port=0",
         f"--user-data-dir={profile}", "about:blank"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        asyncio.run(drive(devtools_page(profile), program))
    finally:
        chromium.terminate()
        try:
            chromium.wait(10)
        except subprocess.TimeoutExpired:
            chromium.kill()
            chromium.wait()
        shutil.rmtree(profile, ignore_errors=True)
        program.stop()


if __name__ == "__main__":
    main()
