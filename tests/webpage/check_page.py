"""Checks the viewer's web page in headless Chromium.

    check_page.py <served folder> <webframecheck> <output folder> [check...]

Serves the folder on 127.0.0.1, opens the page, and checks the window Qt
shows there: its title and size, its first frame, the frames after a left
drag, a right drag and a wheel notch, each judged by webframecheck against
the camera model, and that a click reaches every link once the window is
up; then the same page on WebGL 1 alone, at a device pixel ratio of 1.5, on
a phone (a narrow page that must scroll to all of the window, and a
one-finger drag), over a slow network (the download's progress), without
WebGL (the page's own message), and with WebGL that rejects the shaders or
gives Qt no context (the viewer's own message). All of them unless some are
named (CHECKS). Frames and a picture of each page go to the output folder.
Exits 0 only when every check passed; ends the server and every browser it
started either way.
"""

import functools
import http.server
import os
import re
import sys
import threading
import time

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


# Each link of the page: whether a click at its centre reaches it, and
# whether what it names is there.
LINKS = r"""
Promise.all([...document.querySelectorAll("a")].map(async link => {
  link.scrollIntoView({ block: "center" });
  const rect = link.getBoundingClientRect();
  const hit = document.elementFromPoint(rect.x + rect.width / 2, rect.y + rect.height / 2);
  const found = (await fetch(link.href, { method: "HEAD" })).ok;
  return { text: link.textContent, href: link.getAttribute("href"), reached: hit === link, found,
           hit: hit ? hit.tagName + (hit.id ? "#" + hit.id : "") : null };
}))
"""


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
    # Last: it may scroll the page, which the input above must not see.
    links = session.browser.evaluate(LINKS)
    if not links or not all(link["reached"] and link["found"] for link in links):
        raise CheckFailed(f"a link cannot be clicked, or leads nowhere: {links}")
    results.append(f"{session.name}: a click reaches each of the {len(links)} links, and each leads to its file: "
                   + ", ".join(link["href"] for link in links))


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


# A phone held upright: 360 x 740 CSS pixels at a device pixel ratio of 2,
# with touch.
PHONE = [
    ("Emulation.setDeviceMetricsOverride", {"width": 360, "height": 740, "deviceScaleFactor": 2, "mobile": True}),
    ("Emulation.setTouchEmulationEnabled", {"enabled": True, "maxTouchPoints": 1}),
]

# Where the window lies in a page narrower than it, and whether the
# visitor may zoom.
REACH = r"""
(() => {
  const canvas = document.querySelector("#qt-shadow-container").shadowRoot
    .querySelector("canvas.qt-window-content");
  const rect = canvas.getBoundingClientRect();
  return { left: rect.left + scrollX, right: rect.right + scrollX,
           scrollWidth: document.scrollingElement.scrollWidth,
           viewport: document.querySelector("meta[name=viewport]").content };
})()
"""


def check_phone(session, results):
    check_window(session, results)
    reach = session.browser.evaluate(REACH)
    if reach["left"] < 0 or reach["scrollWidth"] < reach["right"]:
        raise CheckFailed(f"in a 360-pixel page the window spans {reach['left']} to {reach['right']}, and the "
                          f"page scrolls to {reach['scrollWidth']}: part of it cannot be reached")
    if "user-scalable=0" in reach["viewport"] or "user-scalable=no" in reach["viewport"]:
        raise CheckFailed(f"the page keeps its visitors from zooming: {reach['viewport']!r}")
    results.append(f"{session.name}: the window spans {reach['left']:.0f} to {reach['right']:.0f} of a page "
                   f"that scrolls to {reach['scrollWidth']}")
    results.append(f"{session.name}: first frame {session.frame('first')}")
    session.page_picture("page")
    session.touch_drag((150, 250), (230, 210))
    results.append(f"{session.name}: a one-finger drag {session.frame('touch-drag')}")


# At 4 Mbit/s, as on a slow mobile connection.
SLOW_NETWORK = [
    ("Network.enable", {}),
    ("Network.emulateNetworkConditions", {"offline": False, "latency": 40, "downloadThroughput": 500000,
                                          "uploadThroughput": 500000}),
]
PROGRESS = r"""(document.querySelector("#status p")?.firstChild?.textContent ?? "")"""


def check_slow_network(session, results):
    b = session.browser
    shown = []
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline and not b.evaluate("window.__check && window.__check.draws > 0"):
        text = b.evaluate(PROGRESS)
        if not shown or shown[-1] != text:
            shown.append(text)
        time.sleep(0.25)
    percentages = [int(found.group(1)) for text in shown if (found := re.search(r"\((\d+) %\)", text))]
    if len(set(percentages)) < 3 or percentages != sorted(percentages):
        raise CheckFailed(f"the page did not show its download advancing: {shown}")
    results.append(f"{session.name}: the page showed {len(set(percentages))} steps of the download, "
                   f"{percentages[0]} % to {percentages[-1]} %")
    check_window(session, results)
    results.append(f"{session.name}: first frame {session.frame('first')}")


# WebGL that rejects every shader the page compiles.
SHADERS_REJECTED = r"""
for (const type of [window.WebGLRenderingContext, window.WebGL2RenderingContext]) {
  if (!type) continue;
  const parameter = type.prototype.getShaderParameter;
  type.prototype.getShaderParameter = function (shader, name) {
    return name === this.COMPILE_STATUS ? false : parameter.call(this, shader, name);
  };
  type.prototype.getShaderInfoLog = () => "ERROR: 0:1: rejected by the check";
}
"""

# No WebGL context for a canvas in the page, where Qt draws; a canvas
# outside it, as the page's own probe uses, still gets one.
NO_CONTEXT = r"""
{
  const getContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
    return this.isConnected && /webgl/.test(type) ? null : getContext.call(this, type, ...rest);
  };
}
"""


def check_viewer_failure(expected):
    def check(session, results):
        text = session.browser.wait_for(FAILED, START_TIMEOUT, "the page's message that the viewer failed")
        if "Orbit Viewer could not start." not in text or expected not in text:
            raise CheckFailed(f"the page says {text!r}, not the viewer's own report ({expected!r})")
        session.page_picture("page")
        results.append(f"{session.name}: the page says {text!r}")
    return check


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


# Each check: its name, the browser's flags, what the page is opened with
# (a script run before its own, DevTools commands), and the check.
CHECKS = [
    ("webgl2", [], {}, check_webgl2),
    ("webgl1", ["--disable-webgl2"], {}, check_webgl1),
    ("scale1.5", ["--force-device-scale-factor=1.5"], {}, check_scaled),
    ("phone", [], {"commands": PHONE}, check_phone),
    ("slow-network", [], {"commands": SLOW_NETWORK}, check_slow_network),
    ("no-webgl", ["--disable-3d-apis"], {}, check_no_webgl),
    ("shaders-rejected", [], {"inject": SHADERS_REJECTED},
     check_viewer_failure("OpenGL could not be initialised: the driver did not build the shaders: ")),
    ("no-context", [], {"inject": NO_CONTEXT}, check_viewer_failure("OpenGL could not be initialised: ")),
]


def main():
    names = [name for name, _, _, _ in CHECKS]
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
        for name, flags, opening, check in CHECKS:
            if name not in chosen:
                continue
            results = []
            session = Session(url, out, judge, name, flags)
            try:
                session.open(**opening)
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
