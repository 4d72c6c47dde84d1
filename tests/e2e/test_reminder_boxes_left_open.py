"""Reminders keep coming while the user leaves a reminder's message box open: two reminders at 09:00 and
one at 09:01, the clock moved by libfaketime, the reminder file written by the plain second implementation.
Every box appears within its minute while the earlier ones stay open, the voice reminder is heard, and the
file marks each reminder once."""

import glob
import os
import sys
import time

import pyatspi
from velmira_desktop import DesktopError, Program, check, run, wait_for

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "organizer"))
import reminderfile  # noqa: E402

START = (8 * 60 + 59) * 60 + 50  # 08:59:50 on the program's clock, in seconds of the day
TODAY = "07.03.2026"
REMINDERS = [
    ("Первое", "09:00", "Первое напоминание", "текст"),
    ("Второе", "09:00", "Второе напоминание", "голос+текст"),
    ("Третье", "09:01", "Третье напоминание", "текст"),
]
PREFIX = "Напоминание от программы Вельмира 6.1:"


def store(path):
    plain = "%d\r\n" % (len(REMINDERS) + 1)
    for name, when, text, kind in REMINDERS:
        plain += "\r\n".join([name, when, "", text, kind, "вкл."]) + "\r\n"
    stored = reminderfile.scramble(plain.encode("cp1251"), reminderfile.KEY)
    with open(path, "wb") as f:
        f.write(stored + b"\r\n" + reminderfile.check_line(stored) + b"\r\n")


def marks(path):
    with open(path, "rb") as f:
        plain = reminderfile.load(f.read())
    check(plain is not None, "the program left a reminder file the second implementation cannot read")
    cells = [cell.decode("cp1251") for cell in reminderfile.lines_of(plain)[1:]]
    return {cells[i]: cells[i + 2] for i in range(0, len(REMINDERS) * 6, 6)}


def faketime_library():
    found = glob.glob("/usr/lib/*/faketime/libfaketime.so.1")
    if not found:
        raise DesktopError("libfaketime is not installed (scripts/deps.sh --test installs it)")
    return found[0]


def test(desktop):
    sound = desktop.record()
    # The reminder file is there before the program starts, and only the program runs on the moved clock.
    spawn = desktop.spawn

    def spawn_program(name, argv, env=None, **kwargs):
        if name == "velmira":
            store(os.path.join(env["VELMIRA_HOME"], "Organayzer.txt"))
            env = dict(env, LD_PRELOAD=faketime_library(), FAKETIME="@2026-03-07 08:59:50",
                       FAKETIME_DONT_FAKE_MONOTONIC="1",
                       # The sanitizers' runtime would refuse a library loaded before it.
                       ASAN_OPTIONS=":".join(filter(None, [desktop.env.get("ASAN_OPTIONS"),
                                                            "verify_asan_link_order=0"])))
        return spawn(name, argv, env=env, **kwargs)

    desktop.spawn = spawn_program
    program = Program(desktop)
    desktop.spawn = spawn
    program.wait_window()
    program.accessible()

    def clock():
        """The program's time of day, in seconds, as far as the wall clock tells."""
        return START + time.monotonic() - program.started

    def box_texts():
        program.check_running()
        labels = pyatspi.findAllDescendants(program.app, lambda a: a is not None and (a.name or "").startswith(PREFIX))
        return sorted(a.name[len(PREFIX):].strip() for a in labels)

    nine = 9 * 3600
    first_two = wait_for(lambda: box_texts() == ["Второе напоминание", "Первое напоминание"], 40,
                         "both 09:00 reminders in their boxes")
    check(first_two and clock() < nine + 60, "the 09:00 boxes came after 09:00 was over")
    heard_from = program.started + (nine - START)
    wait_for(lambda: sound.heard(since=heard_from) > 0.3, 20, "the voice of the 09:00 reminder")

    # Nobody closes a box; the next minute's reminder comes all the same.
    wait_for(lambda: len(box_texts()) == 3, 80, "the 09:01 reminder while the 09:00 boxes are open")
    check(clock() < nine + 120, "the 09:01 box came after 09:01 was over")
    check(box_texts() == ["Второе напоминание", "Первое напоминание", "Третье напоминание"],
          "unexpected boxes: %s" % box_texts())
    check(marks(program.file("Organayzer.txt")) == {name: TODAY for name, *_ in REMINDERS},
          "the file does not mark every reminder as fired today: %s" % marks(program.file("Organayzer.txt")))
    time.sleep(6)  # a further tick brings no second box
    check(len(box_texts()) == 3, "a reminder was shown twice: %s" % box_texts())


if __name__ == "__main__":
    run(test)
