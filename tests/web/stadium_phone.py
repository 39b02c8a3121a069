#!/usr/bin/python3
"""The venue's page on a phone: headless Chromium at 390 x 844 CSS pixels
opens the page the engine (tools/stadium) serves, fed by the program's
--publish. After a rewrite it shows the board's rows, none running past the
right edge and none drawn larger than the board's proportion; after the
engine restarts it subscribes again by itself and shows the newest board.
Its screenshot is saved for the README.

Arguments: the program, the screenshot's path."""

import asyncio
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Chromium, DevTools  # noqa: E402
from webtest import Engine, Program, check, free_port, get, need_engine, need_websockets, until  # noqa: E402

need_engine()
need_websockets()
import websockets  # noqa: E402

exe = os.path.abspath(sys.argv[1])
shot = os.path.abspath(sys.argv[2])

RESULTS = (b"TIME: 10:42\r\nTeams - Free Routine Final\r\nRESULTS\r\n"
           + b"".join(b"%2d  %-26s%8.3f\r\n" % (i, team, 97.5 - 1.3 * i) for i, team in enumerate(
               [b"RUSSIA", b"UKRAINE", b"SPAIN", b"GREAT BRITAIN", b"NETHERLANDS", b"CZECH REPUBLIC",
                b"GREECE", b"ITALY", b"CROATIA"], 1)))


def board_json(port):
    return json.loads(get(port, "/board.json")[2])


def shows(port, first_row):
    return until(5, lambda: (lambda b: b if b["rows"][0] == first_row else None)(board_json(port)))


async def drive(devtools_url, program, engine):
    async with websockets.connect(devtools_url, max_size=None, open_timeout=10) as ws:
        tab = DevTools(ws)
        await tab.call("Emulation.setDeviceMetricsOverride", width=390, height=844, deviceScaleFactor=1, mobile=True)
        # The board is closed in a run without a display: the page is asked to show it anyway.
        await tab.call("Page.navigate", url=f"http://127.0.0.1:{engine.port}/?always=1")
        await tab.shows(shows(program.port, "TIME: 09:00"))

        program.write("Main.txt", RESULTS)
        board = shows(program.port, "TIME: 10:42")
        state = await tab.shows(board)
        check(state["rows"] == board["rows"], "after a rewrite the phone shows the board's rows")
        check(state["widestRow"] <= state["boardWidth"],
              f"no row runs past the right edge (widest {state['widestRow']} of {state['boardWidth']} px)")
        proportion = state["rowHeight"] * board["style"]["fontPixelSize"] / board["style"]["rowHeight"]
        check(state["fontSize"] <= proportion + 0.01,
              f"the font is no larger than the board's proportion ({state['fontSize']:.2f} <= {proportion:.2f} px)")
        await tab.screenshot(shot)

        engine.stop()
        program.write("Main.txt", RESULTS.replace(b"10:42", b"10:43"))
        board = shows(program.port, "TIME: 10:43")
        engine.start()
        state = await tab.shows(board)
        check(state["rows"] == board["rows"], "after the engine restarted the page subscribed again and shows the newest board")


def main():
    engine = Engine(free_port())
    program = Program(exe, {"Main.txt": b"TIME: 09:00\r\n"}, args=["--publish", engine.publish_url])
    try:
        with Chromium() as devtools_url:
            asyncio.run(drive(devtools_url, program, engine))
    finally:
        program.stop()
        engine.stop()


if __name__ == "__main__":
    main()
