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

import base64
import functools
import http.server
import os
import subprocess
import sys
import threading
import time

from browser import Browser, BrowserError

TITLE = "OpenGL ES 2.0, Qt6, C++"
SIZE = (500, 500)
CHROMIUM = os.environ.get("CHROMIUM", "/usr/bin/chromium")
# Qt's WebAssembly build starts in about a second here; a loaded machine or
# a cold cache may take many more.
START_TIMEOUT = 120

# Runs before the page's own scripts: counts the frames WebGL draws, notes
# when the first one was drawn (milliseconds since navigation began), and
# keeps the last wheel event as the browser delivered it.
INSTRUMENT = r"""
(() => {
  const record = window.__check = { draws: 0, firstDraw: null, wheel: null };
  for (const type of [window.WebGLRenderingContext, window.WebGL2RenderingContext]) {
    if (!type) continue;
    const drawArrays = type.prototype.drawArrays;
    type.prototype.drawArrays = function (...args) {
      record.draws += 1;
      if (record.firstDraw === null) record.firstDraw = performance.now();
      return drawArrays.apply(this, args);
    };
  }
  addEventListener("wheel", event => {
    record.wheel = { deltaX: event.deltaX, deltaY: event.deltaY, deltaMode: event.deltaMode };
  }, { capture: true, passive: true });
})();
"""

# The one Qt window in the page: its title, and its canvas's place and size
# in CSS pixels and in the canvas's own pixels. Qt keeps its windows in an
# open shadow root.
WINDOW = r"""
(() => {
  const host = document.querySelector("#qt-shadow-container");
  const root = host && host.shadowRoot;
  if (!root) return null;
  const windows = [...root.querySelectorAll(".qt-window")];
  const canvases = [...root.querySelectorAll("canvas.qt-window-content")];
  if (windows.length === 0 || canvases.length === 0) return null;
  const canvas = canvases[0];
  const rect = canvas.getBoundingClientRect();
  const gl = canvas.getContext("webgl2") || canvas.getContext("webgl");
  return {
    windows: windows.length,
    title: windows[0].querySelector(".window-name")?.textContent ?? null,
    tab: document.title,
    x: rect.x, y: rect.y, width: rect.width, height: rect.height,
    pixels: [canvas.width, canvas.height],
    ratio: window.devicePixelRatio,
    webgl: gl ? (window.WebGL2RenderingContext && gl instanceof WebGL2RenderingContext ? 2 : 1) : 0,
    antialias: gl ? gl.getContextAttributes().antialias : null,
  };
})()
"""


# The page's message when the viewer could not start or has stopped, or
# false.
FAILED = r"""
(() => {
  const status = document.getElementById("status");
  return !!status && !status.hidden && status.classList.contains("failed") && status.innerText;
})()
"""


class CheckFailed(Exception):
    pass


class Session:
    """One browser with the page open, and what was sent to its window."""

    def __init__(self, url, out, judge, name, flags):
        self.url, self.out, self.judge, self.name = url, out, judge, name
        self.browser = Browser(CHROMIUM, flags)
        self.script = []

    def open(self):
        b = self.browser
        b.attach_to_page()
        b.call("Page.addScriptToEvaluateOnNewDocument", {"source": INSTRUMENT})
        b.call("Page.navigate", {"url": self.url})

    def wait_for_window(self):
        """Waits for the first frame; returns the window and the time to it."""
        b = self.browser
        try:
            b.wait_for("(window.__check && window.__check.draws > 0) || " + FAILED, START_TIMEOUT,
                       "the first frame")
        except BrowserError as error:
            raise CheckFailed(f"{error}; the page said: {b.console_lines()[-5:]}") from None
        failure = b.evaluate(FAILED)
        if failure:
            raise CheckFailed(f"the page says: {failure!r}")
        self.settle()
        self.window = b.evaluate(WINDOW)
        if not self.window:
            raise CheckFailed("no Qt window in the page")
        return self.window, b.evaluate("window.__check.firstDraw")

    def settle(self):
        """Waits until the page has drawn no new frame for a while, so that
        the frame on screen is the one after the last input."""
        b = self.browser
        last, still_since = None, time.monotonic()
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            draws = b.evaluate("new Promise(r => requestAnimationFrame(() => "
                               "requestAnimationFrame(() => r(window.__check.draws))))")
            if draws != last:
                last, still_since = draws, time.monotonic()
            elif time.monotonic() - still_since > 0.3:
                return draws
        raise CheckFailed("the page kept drawing for 30 s without input")

    def frame(self, label):
        """Saves the window's client area as the page shows it, and judges
        it against the model after every input so far."""
        w = self.window
        shot = self.browser.call("Page.captureScreenshot", {
            "format": "png",
            "clip": {"x": w["x"], "y": w["y"], "width": w["width"], "height": w["height"], "scale": 1}})
        path = self.save(shot, label)
        script = "; ".join(self.script)
        result = subprocess.run([self.judge, path, str(SIZE[0]), str(SIZE[1]), script],
                                capture_output=True, text=True)
        verdict = (result.stdout + result.stderr).strip()
        if result.returncode != 0:
            raise CheckFailed(f"{label}: the frame ({path}) does not match the camera after "
                              f"'{script or 'no input'}': {verdict}")
        return verdict

    def page_picture(self, label):
        self.save(self.browser.call("Page.captureScreenshot", {"format": "png"}), label)

    def save(self, shot, label):
        path = os.path.join(self.out, f"{self.name}-{label}.png")
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))
        return path

    def mouse(self, kind, x, y, button="none", buttons=0):
        w = self.window
        self.browser.call("Input.dispatchMouseEvent", {
            "type": kind, "x": w["x"] + x, "y": w["y"] + y, "button": button, "buttons": buttons,
            "clickCount": 1 if kind in ("mousePressed", "mouseReleased") else 0})

    def drag(self, button, start, end):
        mask, press, release = {"left": (1, "R", "r"), "right": (2, "P", "p")}[button]
        self.mouse("mouseMoved", *start)
        self.mouse("mousePressed", *start, button=button, buttons=mask)
        self.mouse("mouseMoved", *end, button=button, buttons=mask)
        self.mouse("mouseReleased", *end, button=button)
        self.script += [f"{press} {start[0]} {start[1]}", f"M {end[0]} {end[1]}", release]
        self.settle()

    def wheel(self, at, delta_y):
        """One wheel step; returns the event as the page saw it and the
        vertical angle delta the camera was given."""
        w = self.window
        self.mouse("mouseMoved", *at)
        self.browser.call("Input.dispatchMouseEvent", {
            "type": "mouseWheel", "x": w["x"] + at[0], "y": w["y"] + at[1], "deltaX": 0, "deltaY": delta_y})
        self.settle()
        seen = self.browser.evaluate("window.__check.wheel")
        if not seen:
            raise CheckFailed("the page saw no wheel event")
        # Qt's WebAssembly platform turns a wheel event's delta, in pixels,
        # into an angle delta of the opposite sign: the page scrolls down
        # where a desktop wheel turns towards the user.
        if seen["deltaMode"] != 0:
            raise CheckFailed(f"the wheel event came in mode {seen['deltaMode']}, not in pixels")
        angle = -round(seen["deltaY"])
        self.script.append(f"Z {angle}")
        return seen, angle

    def close(self):
        self.browser.close()


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


def check_webgl2(session, results):
    window = check_window(session, results)
    if window["webgl"] != 2:
        raise CheckFailed(f"Qt's context is WebGL {window['webgl']}, where the browser offers WebGL 2")
    results.append(f"{session.name}: first frame {session.frame('first')}")
    session.page_picture("page")
    session.drag("left", (250, 250), (330, 210))
    results.append(f"{session.name}: left drag (250, 250) to (330, 210) {session.frame('left-drag')}")
    session.drag("right", (200, 300), (140, 340))
    results.append(f"{session.name}: right drag (200, 300) to (140, 340) {session.frame('right-drag')}")
    seen, angle = session.wheel((250, 250), 100)
    results.append(f"{session.name}: a wheel event with deltaY {seen['deltaY']} (pixels) reached Qt as "
                   f"angleDelta().y() {angle}; {session.frame('wheel')}")


def check_webgl1(session, results):
    window = check_window(session, results)
    if window["webgl"] != 1:
        raise CheckFailed(f"Qt's context is WebGL {window['webgl']}, where the browser offers only WebGL 1")
    results.append(f"{session.name}: first frame {session.frame('first')}")
    session.drag("left", (100, 400), (60, 480))
    results.append(f"{session.name}: left drag (100, 400) to (60, 480) {session.frame('left-drag')}")


def check_scaled(session, results):
    window = check_window(session, results)
    if window["ratio"] != 1.5:
        raise CheckFailed(f"the page's device pixel ratio is {window['ratio']}, not 1.5")
    results.append(f"{session.name}: first frame {session.frame('first')}")
    session.drag("left", (250, 250), (171, 302))
    results.append(f"{session.name}: left drag (250, 250) to (171, 302) {session.frame('left-drag')}")
    session.drag("right", (400, 100), (433, 57))
    results.append(f"{session.name}: right drag (400, 100) to (433, 57) {session.frame('right-drag')}")


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
