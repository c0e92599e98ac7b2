"""Headless Chromium driven through the DevTools protocol over a pipe.

The browser reads commands from its descriptor 3 and writes replies and
events to its descriptor 4, one JSON message each, ended by a NUL byte: no
port is opened, and nothing but this process can drive it.
"""

import json
import os
import shutil
import subprocess
import tempfile
import time

# What the browser does by itself is turned off: this machine's network is
# closed, and a check must see only the page's own work.
QUIET_FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-extensions",
    "--disable-default-apps",
    "--mute-audio",
]

# WebGL on the CPU, through SwiftShader: Chromium offers it without a GPU
# only when asked.
WEBGL_FLAGS = ["--use-angle=swiftshader", "--enable-unsafe-swiftshader"]


class BrowserError(Exception):
    pass


class Browser:
    def __init__(self, executable, extra_flags, window_size=(900, 860)):
        self.profile = tempfile.mkdtemp(prefix="orbitviewer-chromium-")
        to_browser_read, self.to_browser = os.pipe()
        self.from_browser, from_browser_write = os.pipe()
        os.set_inheritable(to_browser_read, True)
        os.set_inheritable(from_browser_write, True)

        def give_pipes():
            os.dup2(to_browser_read, 3)
            os.dup2(from_browser_write, 4)

        flags = QUIET_FLAGS + WEBGL_FLAGS + list(extra_flags)
        self.process = subprocess.Popen(
            [executable, *flags, "--remote-debugging-pipe", f"--user-data-dir={self.profile}",
             f"--window-size={window_size[0]},{window_size[1]}", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=give_pipes, close_fds=False)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        self.session = None

    def close(self):
        """Ends the browser and removes its profile, whatever state it is in."""
        if self.process.poll() is None:
            try:
                self.call("Browser.close", session=False, timeout=10)
            except BrowserError:
                pass
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        for fd in (self.to_browser, self.from_browser):
            try:
                os.close(fd)
            except OSError:
                pass
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read_message(self, deadline):
        while b"\0" not in self.buffer:
            if time.monotonic() > deadline:
                raise BrowserError("the browser did not answer in time")
            chunk = os.read(self.from_browser, 1 << 16)
            if not chunk:
                raise BrowserError(f"the browser ended (status {self.process.wait()})")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=True, timeout=60):
        """Sends one command, to the attached page unless session is False,
        and returns its result; events that arrive meanwhile are kept."""
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            reply = self._read_message(deadline)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise BrowserError(f"{method}: {reply['error'].get('message')}")
                return reply.get("result", {})
            self.events.append(reply)

    def attach_to_page(self):
        targets = self.call("Target.getTargets", session=False)["targetInfos"]
        page = next(t for t in targets if t["type"] == "page")
        self.session = self.call("Target.attachToTarget", {"targetId": page["targetId"], "flatten": True},
                                 session=False)["sessionId"]
        self.call("Page.enable")
        self.call("Runtime.enable")

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True})
        if "exceptionDetails" in result:
            raise BrowserError(f"{expression}: {result['exceptionDetails'].get('text')}")
        return result["result"].get("value")

    def wait_for(self, expression, timeout, what):
        """Evaluates the expression until it is truthy, and returns it."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.05)
        raise BrowserError(f"waited {timeout} s for {what}")

    def console_lines(self):
        """The page's console messages so far, as text."""
        lines = []
        for event in self.events:
            if event.get("method") == "Runtime.consoleAPICalled":
                args = event["params"]["args"]
                lines.append(" ".join(str(a.get("value", a.get("description", ""))) for a in args))
            elif event.get("method") == "Runtime.exceptionThrown":
                details = event["params"]["exceptionDetails"]
                lines.append(details.get("exception", {}).get("description", details.get("text", "")))
        return lines
