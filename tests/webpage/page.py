"""The viewer's page open in headless Chromium, as check_page.py drives it.

A Session opens the page in a browser of its own, waits for the viewer's
first frame, sends real mouse and wheel input to its window, and saves and
judges the window's frames: webframecheck runs every input so far through
the camera model and compares each pixel.
"""

import base64
import os
import subprocess
import time

from browser import Browser, BrowserError

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

    def open(self, inject="", commands=()):
        """Opens the page after the DevTools commands given, as (method,
        params), with a script of the check's run before the page's own."""
        b = self.browser
        b.attach_to_page()
        for method, params in commands:
            b.call(method, params)
        b.call("Page.addScriptToEvaluateOnNewDocument", {"source": INSTRUMENT + inject})
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
            "clip": {"x": w["x"], "y": w["y"], "width": w["width"], "height": w["height"], "scale": 1},
            "captureBeyondViewport": True})
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

    def touch_drag(self, start, end):
        """A one-finger drag, which Qt turns into a left drag for a window
        that takes no touch events."""
        w = self.window
        for kind, (x, y) in (("touchStart", start), ("touchMove", end)):
            self.browser.call("Input.dispatchTouchEvent", {
                "type": kind, "touchPoints": [{"x": w["x"] + x, "y": w["y"] + y}]})
        self.browser.call("Input.dispatchTouchEvent", {"type": "touchEnd", "touchPoints": []})
        self.script += [f"R {start[0]} {start[1]}", f"M {end[0]} {end[1]}", "r"]
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
