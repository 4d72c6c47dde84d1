"""A private desktop for end-to-end tests of Velmira, and the program running on it.

Each test makes its own Desktop: an X server (Xvfb, on a display number it picks itself), a window
manager (openbox), a notification area (trayer), a D-Bus session with the accessibility bus, and a
PulseAudio server whose default output is a null sink, all under a private XDG_RUNTIME_DIR and HOME.
Program starts Velmira on it with a fresh program folder (VELMIRA_HOME). Everything started is killed
when the `with` block ends, whether the test passed or not, and on SIGTERM (a CTest timeout).

A service that cannot start raises DesktopError, so that the test fails instead of passing unseen.

Runs under /usr/bin/python3, which has pyatspi.
"""

import array
import atexit
import math
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

import pyatspi


class DesktopError(RuntimeError):
    pass


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(predicate, timeout, what, step=0.05):
    """Polls `predicate` until it returns something true; raises Failure naming `what` after `timeout` s."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
        except Failure:
            raise
        except Exception as error:  # a window or control that went away while being looked at
            value, last_error = None, error
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for %s%s" % (what, " (%s)" % last_error if last_error else ""))
        time.sleep(step)


_live = []


def _kill_all():
    for desktop in list(_live):
        desktop.stop()


def _on_signal(signum, _frame):
    _kill_all()
    os._exit(128 + signum)


atexit.register(_kill_all)
signal.signal(signal.SIGTERM, _on_signal)
signal.signal(signal.SIGINT, _on_signal)


class Desktop:
    RATE = 16000  # the rate the sink's monitor is recorded at

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="velmira-e2e-")
        self.run_dir = os.path.join(self.dir, "run")
        self.home = os.path.join(self.dir, "home")
        os.makedirs(self.run_dir, mode=0o700)
        os.makedirs(self.home)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": self.home,
            "XDG_RUNTIME_DIR": self.run_dir,
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(self.home, ".cache"),
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "NO_AT_BRIDGE": "0",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
        }
        for key in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
            if key in os.environ:
                self.env[key] = os.environ[key]
        self.processes = []  # (name, Popen), in start order
        self.display = None
        self._stopped = False

    # ---- starting and stopping -------------------------------------------------------------

    def __enter__(self):
        _live.append(self)
        try:
            self._start_x()
            self._start_dbus()
            self._start_atspi()
            self._start_pulse()
            self._start_window_manager()
            self._start_tray()
        except BaseException:
            self.stop()
            raise
        self._apply_to_this_process()
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def log(self, name):
        return open(os.path.join(self.dir, name + ".log"), "wb")

    def spawn(self, name, argv, env=None, **kwargs):
        """Starts a process in its own process group, so that stopping it stops what it started."""
        full_env = dict(self.env)
        if env:
            full_env.update(env)
        kwargs.setdefault("stdout", self.log(name))
        kwargs.setdefault("stderr", subprocess.STDOUT)
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        proc = subprocess.Popen(argv, env=full_env, start_new_session=True, **kwargs)
        self.processes.append((name, proc))
        return proc

    def tail(self, name, lines=20):
        try:
            with open(os.path.join(self.dir, name + ".log"), "rb") as f:
                return b"\n".join(f.read().splitlines()[-lines:]).decode("utf-8", "replace")
        except OSError:
            return ""

    def _need(self, program):
        path = shutil.which(program) or (program if os.path.exists(program) else None)
        if not path:
            raise DesktopError(program + " is not installed (scripts/deps.sh --test installs it)")
        return path

    def _start_x(self):
        read_end, write_end = os.pipe()
        proc = self.spawn("xvfb", [self._need("Xvfb"), "-displayfd", str(write_end), "-screen", "0", "1280x900x24",
                                   "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,))
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip().isdigit() or proc.poll() is not None:
            raise DesktopError("Xvfb did not start: " + self.tail("xvfb"))
        self.display = ":" + number.strip().decode()
        self.env["DISPLAY"] = self.display

    def _start_dbus(self):
        config = os.path.join(self.dir, "session.conf")
        with open(config, "w") as f:
            f.write('<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"\n'
                    ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">\n'
                    "<busconfig><type>session</type>"
                    "<listen>unix:dir=%s</listen>"
                    "<standard_session_servicedirs/>"
                    '<policy context="default"><allow send_destination="*" eavesdrop="true"/>'
                    '<allow eavesdrop="true"/><allow own="*"/><allow user="*"/></policy>'
                    "</busconfig>\n" % self.run_dir)
        proc = self.spawn("dbus", [self._need("dbus-daemon"), "--nofork", "--nopidfile", "--config-file=" + config,
                                   "--print-address=1"], stdout=subprocess.PIPE, stderr=self.log("dbus"))
        address = proc.stdout.readline().decode().strip()
        if not address or proc.poll() is not None:
            raise DesktopError("dbus-daemon did not start: " + self.tail("dbus"))
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def _start_atspi(self):
        launcher = self._need("/usr/libexec/at-spi-bus-launcher")
        self.spawn("atspi", [launcher, "--launch-immediately"])
        # The accessibility bus is up once the launcher answers with its address.
        def bus_address():
            result = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                     "org.a11y.Bus.GetAddress"], env=self.env, capture_output=True, timeout=10)
            return result.returncode == 0 and b"unix:" in result.stdout
        try:
            wait_for(bus_address, 15, "the accessibility bus", step=0.2)
        except Failure:
            raise DesktopError("the accessibility bus did not start: " + self.tail("atspi"))

    def _start_pulse(self):
        pulse_dir = os.path.join(self.run_dir, "pulse")
        socket_path = os.path.join(pulse_dir, "native")
        # Only the modules the tests need: no configuration of the machine or the user is read.
        # As root, PulseAudio refuses to run without --system unless told not to mind.
        argv = [self._need("pulseaudio"), "--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=no",
                "--realtime=no", "--high-priority=no", "--disallow-module-loading=no", "--log-target=stderr", "--log-level=info",
                "--load=module-null-sink sink_name=speakers",
                "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_path]
        if os.geteuid() == 0:
            argv.insert(1, "--system=no")
        self.spawn("pulse", argv, env={"PULSE_RUNTIME_PATH": pulse_dir, "PULSE_STATE_PATH": os.path.join(self.dir, "pulse-state")})
        self.env["PULSE_SERVER"] = "unix:" + socket_path
        self.env["PULSE_SINK"] = "speakers"

        def ready():
            result = subprocess.run(["pactl", "info"], env=self.env, capture_output=True, timeout=10)
            return result.returncode == 0 and b"speakers" in result.stdout
        try:
            wait_for(ready, 15, "PulseAudio", step=0.1)
        except Failure:
            raise DesktopError("PulseAudio did not start: " + self.tail("pulse"))

    def _start_window_manager(self):
        self.spawn("openbox", [self._need("openbox"), "--sm-disable"])
        wait_for(lambda: self._xprop_root("_NET_SUPPORTING_WM_CHECK"), 15, "the window manager")

    def _start_tray(self):
        self.spawn("trayer", [self._need("trayer"), "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                              "--width", "120", "--height", "24", "--transparent", "false", "--tint", "0x808080"])
        # A notification area owns the selection _NET_SYSTEM_TRAY_S0.
        def owned():
            result = subprocess.run(["xdotool", "search", "--classname", "trayer"], env=self.env, capture_output=True)
            return result.returncode == 0 and result.stdout.strip()
        try:
            wait_for(owned, 15, "the notification area")
        except Failure:
            raise DesktopError("trayer did not start: " + self.tail("trayer"))
        time.sleep(0.3)

    def _xprop_root(self, prop):
        result = subprocess.run(["xprop", "-root", prop], env=self.env, capture_output=True)
        return result.returncode == 0 and b"window id" in result.stdout

    def _apply_to_this_process(self):
        # pyatspi talks to the accessibility bus of this desktop.
        for key in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "PULSE_SERVER"):
            os.environ[key] = self.env[key]

    def stop(self):
        if self._stopped:
            return
        self._stopped = True
        for _name, proc in reversed(self.processes):
            _kill_group(proc)
        if self in _live:
            _live.remove(self)
        if os.environ.get("VELMIRA_E2E_KEEP"):
            print("kept:", self.dir)
        else:
            shutil.rmtree(self.dir, ignore_errors=True)

    # ---- what a user does ----------------------------------------------------------------

    def xdotool(self, *args, check_rc=True):
        result = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, timeout=20)
        if check_rc and result.returncode != 0:
            raise Failure("xdotool %s failed: %s" % (" ".join(args), result.stderr.decode(errors="replace")))
        return result.stdout.decode().strip()

    def windows(self, name):
        """Ids of the visible windows whose title is exactly `name`."""
        out = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % name, check_rc=False)
        return [w for w in out.split() if w]

    def key(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def copy(self, text):
        """Puts `text` on the clipboard as another program would (xclip keeps it until it loses it)."""
        proc = self.spawn("xclip", ["xclip", "-selection", "clipboard", "-quiet", "-i"], stdin=subprocess.PIPE)
        proc.stdin.write(text.encode("utf-8"))
        proc.stdin.close()

    def tray_icon(self):
        """The program's icon in the notification area: the window trayer has embedded, or None."""
        out = self.xdotool("search", "--onlyvisible", "--classname", "velmira", check_rc=False)
        for wid in out.split():
            geometry = self.xdotool("getwindowgeometry", wid, check_rc=False)
            if "Geometry: 24x24" in geometry or "Geometry: 22x22" in geometry or "Geometry: 20x20" in geometry:
                return wid
        return None

    def click_window(self, wid, button):
        # A tray icon is clicked once the notification area has settled it in place.
        time.sleep(0.5)
        self.xdotool("mousemove", "--window", wid, "8", "8")
        time.sleep(0.2)
        self.xdotool("click", str(button))

    def screenshot(self, wid, path):
        subprocess.run(["import", "-window", wid, path], env=self.env, check=True, timeout=20)

    def pixels(self, wid, crop=None):
        """The pixels of window `wid` ("root" for the whole screen), or of the part `crop` = (x, y,
        width, height) of it, as (width, [(r, g, b), …]) read from a binary PPM; None when the window
        went away meanwhile."""
        argv = ["import", "-window", wid]
        if crop:
            argv += ["-crop", "%dx%d+%d+%d" % (crop[2], crop[3], crop[0], crop[1])]
        data = subprocess.run(argv + ["-depth", "8", "ppm:-"], env=self.env, capture_output=True,
                              timeout=20).stdout
        if not data.startswith(b"P6"):
            return None
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        pos += 1
        check(fields[3] == b"255", "not a screenshot: %r" % fields)
        body = data[pos:]
        return int(fields[1]), [tuple(body[i:i + 3]) for i in range(0, len(body) - 2, 3)]

    def signal(self, name, signum):
        """Sends `signum` to the service started as `name` (SIGSTOP holds a window manager up)."""
        for started, proc in self.processes:
            if started == name and proc.poll() is None:
                os.kill(proc.pid, signum)
                return
        raise DesktopError(name + " is not running")

    def record(self):
        return Recording(self)


def _kill_group(proc):
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            pass
    # Whatever it started in its group goes too.
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.wait(timeout=5)
    except subprocess.TimeoutExpired:
        pass


class Recording:
    """What the sink plays, recorded from its monitor with the wall-clock time of every sample."""

    def __init__(self, desktop):
        self.samples = array.array("h")
        self.start = None  # time.monotonic() of the first sample
        self._lock = threading.Lock()
        # A silent stream keeps the sink playing, as a desktop's other programs do, so that the
        # recording's time line is the wall clock's.
        desktop.spawn("silence", ["pacat", "--raw", "--latency-msec=10", "/dev/zero"])
        self._proc = desktop.spawn("parec", ["parec", "-d", "speakers.monitor", "--raw", "--format=s16le",
                                             "--rate=%d" % Desktop.RATE, "--channels=1", "--latency-msec=20"],
                                   stdout=subprocess.PIPE, stderr=desktop.log("parec"))
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()
        wait_for(lambda: self.start is not None, 10, "the sink's monitor to record")

    def _read(self):
        pending = b""
        while True:
            chunk = self._proc.stdout.read1(4096) if hasattr(self._proc.stdout, "read1") else self._proc.stdout.read(4096)
            if not chunk:
                return
            now = time.monotonic()
            pending += chunk
            whole = len(pending) // 2 * 2
            with self._lock:
                data = array.array("h")
                data.frombytes(pending[:whole])
                if self.start is None:
                    self.start = now - len(data) / Desktop.RATE
                self.samples.extend(data)
            pending = pending[whole:]

    def now(self):
        return time.monotonic()

    def sounds(self, since=None, until=None, window=0.02, threshold=300, gap=0.6):
        """Stretches of sound as (start, end) in monotonic seconds; pauses shorter than `gap` join them."""
        with self._lock:
            samples = self.samples[:]
        step = int(Desktop.RATE * window)
        stretches = []
        first = 0 if since is None else max(0, int((since - self.start) * Desktop.RATE))
        for i in range(first, len(samples) - step + 1, step):
            t = self.start + i / Desktop.RATE
            if until is not None and t > until:
                break
            block = samples[i:i + step]
            rms = math.sqrt(sum(s * s for s in block) / step)
            if rms < threshold:
                continue
            if stretches and t - stretches[-1][1] <= gap:
                stretches[-1][1] = t + window
            else:
                stretches.append([t, t + window])
        return [tuple(s) for s in stretches]

    def heard(self, since=None, until=None):
        """Seconds of sound between `since` and `until`."""
        return sum(end - start for start, end in self.sounds(since, until, gap=0))


class Program:
    """Velmira on the desktop, with its own program folder. `settings` go into Settings.ini first;
    `answers` answer its message boxes (VELMIRA_ANSWERS), which it then writes to its output."""

    def __init__(self, desktop, settings=None, answers=None, args=(), remembered_text=None):
        self.desktop = desktop
        self.home = os.path.join(desktop.dir, "velmira")
        os.makedirs(self.home)
        if remembered_text is not None:
            # The text the program shows at start; a plain text serves where RTF is expected.
            with open(os.path.join(self.home, "Text.rtf"), "wb") as f:
                f.write(remembered_text.encode("cp1251"))
        values = {"Greeting": 0, "Time": 0}
        values.update(settings or {})
        with open(os.path.join(self.home, "Settings.ini"), "wb") as f:
            f.write(("[Global]\r\n" + "".join("%s=%s\r\n" % kv for kv in values.items())).encode("cp1251"))
        env = {"VELMIRA_HOME": self.home}
        if answers is not None:
            env["VELMIRA_ANSWERS"] = answers
        binary = os.environ.get("VELMIRA_BINARY")
        if not binary or not os.path.exists(binary):
            raise DesktopError("VELMIRA_BINARY does not name the built program")
        self.started = time.monotonic()
        self.proc = desktop.spawn("velmira", [binary, *args], env=env)
        self.app = None

    def wait_window(self, title="Вельмира 6.1", timeout=30):
        return wait_for(lambda: self.desktop.windows(title), timeout, "the window " + title)[0]

    def accessible(self, timeout=30):
        """The program as a screen reader sees it."""
        def find():
            self.check_running()
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name == "velmira":
                    return app
            return None
        self.app = wait_for(find, timeout, "the program on the accessibility bus", step=0.3)
        return self.app

    def find(self, name, role=None, timeout=10):
        """The first control called `name` (and of `role`, a pyatspi ROLE_…) in the program's windows."""
        def search():
            app = self.app or self.accessible()
            return pyatspi.findDescendant(app, lambda a: a is not None and a.name == name and
                                          (role is None or a.getRole() == role), breadth_first=True)
        return wait_for(search, timeout, "a control called " + name, step=0.3)

    def find_containing(self, text, timeout=10):
        """The first control whose accessible name or description contains `text`."""
        def search():
            app = self.app or self.accessible()
            return pyatspi.findDescendant(app, lambda a: a is not None and (text in (a.name or "") or
                                                                           text in (a.description or "")),
                                          breadth_first=True)
        return wait_for(search, timeout, "a control saying " + text, step=0.3)

    def type_at_end(self, text):
        """Types `text` (Latin letters: xdotool types others by remapping keys) at the end of the
        editor's text in the main window, as the user does; returns the main window."""
        main = self.wait_window()
        wait_for(lambda: self.desktop.xdotool("getactivewindow", check_rc=False) == main, 10,
                 "the main window to be active")
        self.click(self.find("Текст", pyatspi.ROLE_TEXT))
        self.desktop.key("ctrl+End")
        self.desktop.xdotool("type", "--delay", "30", text)
        wait_for(lambda: text in self.editor_text(), 10, "the typed text in the editor")
        return main

    def editor_text(self):
        """What the editor holds, as a screen reader reads it."""
        text = self.find("Текст", pyatspi.ROLE_TEXT).queryText()
        return text.getText(0, text.characterCount)

    def do_action(self, accessible, action):
        actions = accessible.queryAction()
        names = [actions.getName(i) for i in range(actions.nActions)]
        check(action in names, "%s has no action %s (has %s)" % (accessible.name, action, names))
        actions.doAction(names.index(action))

    def click(self, accessible):
        """Clicks a control with the mouse, in its middle. Unlike an accessible action, which waits for
        its answer, this returns at once when the click opens a modal window."""
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.desktop.xdotool("mousemove", str(box.x + box.width // 2), str(box.y + box.height // 2))
        time.sleep(0.1)
        self.desktop.xdotool("click", "1")

    def running(self):
        return self.proc.poll() is None

    def check_running(self):
        if not self.running():
            raise Failure("the program ended (exit status %s): %s" % (self.proc.returncode, self.desktop.tail("velmira", 40)))

    def file(self, name):
        return os.path.join(self.home, name)

    def saved_text(self, name="Text.rtf"):
        """The text of an RTF file the program wrote, its \\'hh escapes read as Windows-1251."""
        with open(self.file(name), "rb") as f:
            data = f.read()
        return re.sub(rb"\\'([0-9a-fA-F]{2})", lambda m: bytes([int(m.group(1), 16)]), data).decode("cp1251")

    def close(self, timeout=20):
        """Closes the main window as the user does, and waits for the program to end."""
        self.check_running()
        wid = self.wait_window()
        self.desktop.xdotool("windowactivate", "--sync", wid, check_rc=False)
        self.desktop.key("alt+F4")
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end after its window was closed")
        return self.proc.returncode


def run(test):
    """Runs `test(desktop)` on a fresh desktop; prints the outcome and exits with 0 or 1."""
    import sys
    import traceback
    try:
        with Desktop() as desktop:
            test(desktop)
    except Exception:
        traceback.print_exc()
        print("FAIL")
        sys.exit(1)
    print("PASS")
    sys.exit(0)
