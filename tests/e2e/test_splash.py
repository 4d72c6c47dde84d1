"""The splash window is painted while the program loads: green, with "Загрузка..." on it, not an
empty black frame."""

import signal
import subprocess
import time

from velmira_desktop import Program, check, run, wait_for


def pixels(desktop, wid):
    """The window's pixels as (r, g, b) tuples, read from a binary PPM."""
    data = subprocess.run(["import", "-window", wid, "-depth", "8", "ppm:-"], env=desktop.env, capture_output=True,
                          timeout=20).stdout
    if not data.startswith(b"P6"):
        return None  # the window went away meanwhile
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
    check(fields[0] == b"P6" and fields[3] == b"255", "not a screenshot: %r" % fields)
    body = data[pos:]
    return [tuple(body[i:i + 3]) for i in range(0, len(body) - 2, 3)]


def window_ids(desktop, title):
    tree = subprocess.run(["xwininfo", "-root", "-tree"], env=desktop.env, capture_output=True, timeout=20).stdout
    marker = ('"%s": (' % title).encode()
    return [line.split()[0].decode() for line in tree.splitlines() if marker in line]


def painted(shot):
    green = sum(1 for r, g, b in shot if g >= 160 and r < 80 and b < 80)
    return green > len(shot) // 2


def test(desktop):
    # A long remembered text keeps the splash up while it loads, as it does for a user who keeps one.
    # The window manager is held while the splash is being shown, as a busy desktop is slow to put a
    # window on screen: a splash painted before it is there is never seen.
    desktop.signal("openbox", signal.SIGSTOP)
    try:
        program = Program(desktop, remembered_text="Длинный текст, который программа помнит. " * 20000)
        wait_for(lambda: window_ids(desktop, "Вельмира"), 60, "the splash window to be made")
        time.sleep(0.3)
    finally:
        desktop.signal("openbox", signal.SIGCONT)
    shots = []
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and not window_ids(desktop, "Вельмира 6.1"):
        program.check_running()
        for wid in window_ids(desktop, "Вельмира"):
            shot = pixels(desktop, wid)
            if shot:
                shots.append(shot)
        if len(shots) >= 3:
            break
    check(shots, "no splash window was seen")
    check(painted(shots[-1]), "the splash is not painted (%d looks at it)" % len(shots))
    # The writing: the title, the lines and "Загрузка..." in black.
    check(sum(1 for r, g, b in shots[-1] if r < 60 and g < 60 and b < 60) > 500, "the splash shows no writing")
    program.wait_window()
    program.check_running()

if __name__ == "__main__":
    run(test)
