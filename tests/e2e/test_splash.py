"""The splash window is painted while the program loads: green, with "Загрузка..." on it, not an
empty black frame."""

import signal
import subprocess
import time

from velmira_desktop import Program, check, run, wait_for


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
            shot = desktop.pixels(wid)
            if shot:
                shots.append(shot[1])
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
