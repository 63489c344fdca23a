"""Headless Chromium driven over its DevTools protocol through a pipe
(--remote-debugging-pipe), so no port is opened. The browser runs in a
network namespace of its own with no interface up, and every page is told
it is offline, so nothing it does can reach a network."""
import json
import os
import shutil
import subprocess
import tempfile
import time

CHROMIUM = "/usr/bin/chromium"
FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--remote-debugging-pipe", "--hide-scrollbars", "--mute-audio",
]


class BrowserError(Exception):
    pass


def _without_network():
    """The command prefix that runs a program in a new, empty network namespace."""
    unshare = shutil.which("unshare")
    if unshare is None:
        raise BrowserError("unshare (util-linux) is missing: cannot cut the browser off the network")
    prefix = [unshare, "--net"] if os.geteuid() == 0 else [unshare, "--net", "--map-root-user"]
    if subprocess.run(prefix + ["true"], capture_output=True).returncode != 0:
        raise BrowserError("cannot make a network namespace with " + " ".join(prefix))
    return prefix


class Chromium:
    def __init__(self, width, height):
        if not os.access(CHROMIUM, os.X_OK):
            raise BrowserError(CHROMIUM + " is missing (scripts/install-deps installs Debian's chromium)")
        self.profile = tempfile.mkdtemp(prefix="zorvane-chromium-")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()
        # The protocol pipe is the browser's descriptors 3 (commands in) and 4 (replies out).
        command = _without_network() + [CHROMIUM, *FLAGS, "--user-data-dir=" + self.profile,
                                        "--window-size=%d,%d" % (width, height), "about:blank"]
        self.process = subprocess.Popen(
            ["/bin/sh", "-c", 'exec "$@" 3<&%d 4>&%d' % (to_browser_read, from_browser_write), "sh", *command],
            pass_fds=(to_browser_read, from_browser_write),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._buffer = b""
        self._next_id = 0
        self.events = []
        self.session = None
        self.width, self.height = width, height

    def close(self):
        try:
            self.call("Browser.close", session=False, timeout=10)
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._to_browser)
        os.close(self._from_browser)
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _receive(self, deadline):
        while b"\0" not in self._buffer:
            if time.monotonic() > deadline:
                raise BrowserError("the browser did not answer in time")
            chunk = os.read(self._from_browser, 1 << 20)
            if not chunk:
                raise BrowserError("the browser closed the protocol pipe (exit code %s)" % self.process.poll())
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=True, timeout=120):
        """Sends one command (to the page's session unless session=False) and
        returns its result; events that arrive meanwhile are kept in self.events."""
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        data = json.dumps(message).encode() + b"\0"
        while data:
            data = data[os.write(self._to_browser, data):]
        deadline = time.monotonic() + timeout
        while True:
            reply = self._receive(deadline)
            if reply.get("id") == self._next_id:
                if "error" in reply:
                    raise BrowserError("%s: %s" % (method, reply["error"].get("message")))
                return reply.get("result", {})
            if "method" in reply:
                self.events.append(reply)

    def open_page(self):
        """A new page, attached, with console, log, network and input watched."""
        target = self.call("Target.createTarget", {"url": "about:blank"}, session=False)["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True},
                                 session=False)["sessionId"]
        for domain in ("Runtime", "Log", "Network", "Page"):
            self.call(domain + ".enable")
        self.call("Network.emulateNetworkConditions",
                  {"offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1})
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": self.width, "height": self.height, "deviceScaleFactor": 1, "mobile": False})

    def evaluate(self, expression, timeout=120):
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True}, timeout=timeout)
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise BrowserError("page script failed: %s" %
                               details.get("exception", {}).get("description", details.get("text")))
        return result["result"].get("value")

    def wait_for(self, expression, timeout):
        deadline = time.monotonic() + timeout
        while not self.evaluate(expression):
            if time.monotonic() > deadline:
                raise BrowserError("timed out waiting for " + expression)
            time.sleep(0.05)

    def screenshot(self, path):
        import base64
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    # Input as a person gives it, in CSS pixels of the viewport.
    def mouse(self, kind, x, y, button="none", buttons=0, modifiers=0, clicks=0):
        self.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": button,
                                               "buttons": buttons, "modifiers": modifiers,
                                               "clickCount": clicks})

    def drag(self, x0, y, x1, modifiers=0, steps=8):
        self.mouse("mouseMoved", x0, y, modifiers=modifiers)
        self.mouse("mousePressed", x0, y, "left", 1, modifiers, 1)
        for k in range(1, steps + 1):
            self.mouse("mouseMoved", x0 + (x1 - x0) * k / steps, y, "left", 1, modifiers)
        self.mouse("mouseReleased", x1, y, "left", 0, modifiers, 1)

    def double_click(self, x, y):
        for clicks in (1, 2):
            self.mouse("mousePressed", x, y, "left", 1, clicks=clicks)
            self.mouse("mouseReleased", x, y, "left", 0, clicks=clicks)

    def wheel(self, x, y, delta_y):
        self.call("Input.dispatchMouseEvent", {"type": "mouseWheel", "x": x, "y": y,
                                               "deltaX": 0, "deltaY": delta_y})

    def key(self, key, code, key_code):
        for kind in ("rawKeyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", {"type": kind, "key": key, "code": code,
                                                 "windowsVirtualKeyCode": key_code})
