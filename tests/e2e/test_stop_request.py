"""Asked to stop from outside (the session ends, kill): the program saves the text it was given and the
text typed since, as at closing, and ends, also with one of its windows open; nothing asks about the
tray."""

import os
import signal

import pyatspi

from velmira_desktop import Failure, Program, check, run

REMEMBERED = "Вчерашний текст, который нельзя терять"
# Typed in Latin letters: xdotool types others by remapping keys.
TYPED = "and the lines typed today"


def test(desktop):
    program = Program(desktop, remembered_text=REMEMBERED)
    program.type_at_end(TYPED)
    # A window of its own open, with its own event loop.
    program.click(program.find("Запись голоса в файл", pyatspi.ROLE_PUSH_BUTTON))
    program.wait_window("Запись голоса в звуковой файл")

    os.kill(program.proc.pid, signal.SIGTERM)
    try:
        program.proc.wait(timeout=20)
    except Exception:
        raise Failure("the program did not end when asked to stop")
    check(program.proc.returncode == 0, "the program ended with status %s: %s"
          % (program.proc.returncode, desktop.tail("velmira", 40)))
    saved = program.saved_text()
    check(REMEMBERED in saved and TYPED in saved, "the text was not saved: " + saved)


if __name__ == "__main__":
    run(test)
