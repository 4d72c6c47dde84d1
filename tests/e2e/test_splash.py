"""The splash window is painted while the program loads: green, with "Загрузка..." on it, not an
empty black frame."""

import subprocess
import time

from velmira_desktop import Program, check, run


def pixels(desktop, wid):
    """The window's pixels as (r, g, b) tuples, read from a binary PPM."""
    data = subprocess.run(["import", "-window", wid, "ppm:-"], env=desktop.env, capture_output=True,
                          timeout=20).stdout
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


def test(desktop):
    program = Program(desktop)
    shot = None
    deadline = time.monotonic() + 30
    while shot is None and time.monotonic() < deadline and not desktop.windows("Вельмира 6.1"):
        for wid in desktop.windows("Вельмира"):
            time.sleep(0.05)
            shot = pixels(desktop, wid)
            break
        time.sleep(0.01)
    check(shot, "no splash window was seen")
    green = sum(1 for r, g, b in shot if g >= 160 and r < 80 and b < 80)
    dark = sum(1 for r, g, b in shot if r < 60 and g < 60 and b < 60)
    check(green > len(shot) // 2, "the splash is not painted: %d of %d pixels green" % (green, len(shot)))
    check(dark > 100, "the splash shows no writing")
    program.wait_window()
    program.check_running()


if __name__ == "__main__":
    run(test)
