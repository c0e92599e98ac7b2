"""Checks the viewer's web page in headless Chromium.

    check_page.py <served folder> <webframecheck> <output folder> [check...]

Serves the folder on 127.0.0.1, opens the page, and checks the window Qt
shows there: its title and size, its first frame, and the frames after a
left drag, a right drag and a wheel notch, each judged by webframecheck
against the camera model; then the same page on WebGL 1 alone, at a device
pixel ratio of 1.5, and with WebGL switched off, where the page must say
why nothing is drawn (the checks webgl2, webgl1, scale1.5 and no-webgl; all
of them unless some are named). Frames and a picture of each page go to
the output folder. Exits 0 only when every
check passed; ends the server and every browser it started either way.
"""

import functools
import http.server
import os
import sys
import threading

from browser import BrowserError
from page import FAILED, SIZE, START_TIMEOUT, CheckFailed, Session

TITLE = "OpenGL ES 2.0, Qt6, C++"


def check_window(session, results):
    window, first_draw = session.wait_for_window()
    results.append(f"{session.name}: first frame drawn {first_draw:.0f} ms after navigation began")
    if window["windows"] != 1:
        raise CheckFailed(f"the page shows {window['windows']} windows, not one")
    if window["title"] != TITLE or window["tab"] != TITLE:
        raise CheckFailed(f"the window's title is {window['title']!r} and the tab's {window['tab']!r}, "
                          f"not {TITLE!r}")
    # Qt sizes the canvas in device pixels, rounding the scaled size.
    pixels = tuple(round(side * window["ratio"]) for side in SIZE)
    if (window["width"], window["height"]) != SIZE or tuple(window["pixels"]) != pixels:
        raise CheckFailed(f"the client area is {window['width']} x {window['height']} CSS pixels and "
                          f"{window['pixels'][0]} x {window['pixels'][1]} canvas pixels, not 500 x 500 and "
                          f"{pixels[0]} x {pixels[1]} at ratio {window['ratio']}")
    results.append(f"{session.name}: one window, {window['title']!r} (the tab's title too), 500 x 500, "
                   f"{pixels[0]} x {pixels[1]} device pixels, WebGL {window['webgl']}, "
                   f"antialias {window['antialias']}")
    return window


def judged_drag(session, results, button, start, end):
    session.drag(button, start, end)
    results.append(f"{session.name}: {button} drag {start} to {end} {session.frame(f'{button}-drag')}")


def check_webgl2(session, results):
    window = check_window(session, results)
    if window["webgl"] != 2:
        raise CheckFailed(f"Qt's context is WebGL {window['webgl']}, where the browser offers WebGL 2")
    results.append(f"{session.name}: first frame {session.frame('first')}")
    session.page_picture("page")
    judged_drag(session, results, "left", (250, 250), (330, 210))
    judged_drag(session, results, "right", (200, 300), (140, 340))
    seen, angle = session.wheel((250, 250), 100)
    results.append(f"{session.name}: a wheel event with deltaY {seen['deltaY']} (pixels) reached Qt as "
                   f"angleDelta().y() {angle}; {session.frame('wheel')}")


def check_webgl1(session, results):
    window = check_window(session, results)
    if window["webgl"] != 1:
        raise CheckFailed(f"Qt's context is WebGL {window['webgl']}, where the browser offers only WebGL 1")
    results.append(f"{session.name}: first frame {session.frame('first')}")
    judged_drag(session, results, "left", (100, 400), (60, 480))


def check_scaled(session, results):
    window = check_window(session, results)
    if window["ratio"] != 1.5:
        raise CheckFailed(f"the page's device pixel ratio is {window['ratio']}, not 1.5")
    results.append(f"{session.name}: first frame {session.frame('first')}")
    judged_drag(session, results, "left", (250, 250), (171, 302))
    judged_drag(session, results, "right", (400, 100), (433, 57))


def check_no_webgl(session, results):
    b = session.browser
    text = b.wait_for(FAILED, START_TIMEOUT, "the page's message without WebGL")
    if "WebGL" not in text:
        raise CheckFailed(f"without WebGL the page says {text!r}, which does not name WebGL")
    if b.evaluate("window.__check.draws") != 0:
        raise CheckFailed("without WebGL something was still drawn")
    session.page_picture("page")
    results.append(f"{session.name}: the page says {text!r}")


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass


def serve(folder):
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


CHECKS = [
    ("webgl2", [], check_webgl2),
    ("webgl1", ["--disable-webgl2"], check_webgl1),
    ("scale1.5", ["--force-device-scale-factor=1.5"], check_scaled),
    ("no-webgl", ["--disable-3d-apis"], check_no_webgl),
]


def main():
    names = [name for name, _, _ in CHECKS]
    if len(sys.argv) < 4 or not set(sys.argv[4:]) <= set(names):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    folder, judge, out = sys.argv[1:4]
    chosen = sys.argv[4:] or names
    os.makedirs(out, exist_ok=True)
    server = serve(folder)
    url = f"http://127.0.0.1:{server.server_address[1]}/index.html"
    failures = 0
    try:
        for name, flags, check in CHECKS:
            if name not in chosen:
                continue
            results = []
            session = Session(url, out, judge, name, flags)
            try:
                session.open()
                check(session, results)
                status = "PASS"
            except (CheckFailed, BrowserError) as error:
                results.append(f"{name}: {error}")
                status = "FAIL"
                failures += 1
            finally:
                session.close()
            for line in results:
                print(f"  {line}")
            print(f"{status}: {name}")
    finally:
        server.shutdown()
        server.server_close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
