"""A status message reaches a screen reader: the status label's accessible name carries it."""

import pyatspi
from velmira_desktop import Program, run


def test(desktop):
    program = Program(desktop)
    program.wait_window()
    program.do_action(program.find("Прочитать текст (Ctrl+Y)", pyatspi.ROLE_PUSH_BUTTON), "Press")
    # A screen reader keeps what it was told: the new name must come with its change event.
    program.find_containing("Нет текста для чтения", timeout=10)
    program.check_running()


if __name__ == "__main__":
    run(test)
