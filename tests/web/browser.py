"""Headless Chromium for the web checks, driven over its DevTools port."""

import asyncio
import base64
import json
import os
import shutil
import subprocess
import tempfile
import time
import urllib.request

from webtest import fail, skip, until

# What the page shows: its version of the board, its rows and their sizes,
# and whether any row runs past the board's right edge.
PAGE_STATE = """JSON.stringify({
  version: document.body.dataset.version,
  hidden: document.getElementById('board').hidden,
  rows: [...document.querySelectorAll('.row')].map(r => r.textContent),
  rowHeight: document.querySelector('.row').getBoundingClientRect().height,
  viewport: innerHeight,
  font: getComputedStyle(document.querySelector('.row')).fontFamily,
  fontSize: parseFloat(getComputedStyle(document.querySelector('.row')).fontSize),
  boardWidth: document.getElementById('client').clientWidth,
  widestRow: Math.max(...[...document.querySelectorAll('.row')].map(r => r.scrollWidth)),
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

    async def screenshot(self, path):
        picture = await self.call("Page.captureScreenshot", format="png")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(base64.b64decode(picture["data"]))
        print(f"ok: screenshot saved to {path}")

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


class Chromium:
    """A headless browser for the length of a with-block, which gets its page's DevTools address."""

    def __enter__(self):
        browser = shutil.which("chromium") or shutil.which("chromium-browser")
        if not browser:
            skip("chromium is not installed (tools/install-deps lists it)")
        self.profile = tempfile.mkdtemp(prefix="scb-chromium.")
        self.proc = subprocess.Popen(
            [browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--no-default-browser-check",
             "--no-proxy-server", "--hide-scrollbars", "--window-size=800,600", "--remote-debugging-port=0",
             f"--user-data-dir={self.profile}", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            return devtools_page(self.profile)
        except BaseException:
            self.__exit__(None, None, None)
            raise

    def __exit__(self, *exc):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.profile, ignore_errors=True)


def devtools_page(profile):
    """The page target's DevTools address, once the browser has announced its port."""
    port_file = os.path.join(profile, "DevToolsActivePort")
    if not until(20, lambda: os.path.exists(port_file) and open(port_file).read().count("\n") >= 1):
        fail("chromium did not open its DevTools port")
    port = int(open(port_file).read().split("\n")[0])
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    targets = until(10, lambda: [t for t in json.loads(opener.open(f"http://127.0.0.1:{port}/json/list").read())
                                 if t.get("type") == "page"])
    if not targets:
        fail("chromium has no page to drive")
    return targets[0]["webSocketDebuggerUrl"]
