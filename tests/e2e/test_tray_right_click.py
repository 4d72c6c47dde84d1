"""Right-clicking the program's icon in the notification area brings the window back, as a left
click does, and the program goes on to save its text at the end."""

import os
import time

import pyatspi
from velmira_desktop import Program, check, run, wait_for


def test(desktop):
    program = Program(desktop)
    main = program.wait_window()
    desktop.xdotool("windowactivate", "--sync", main, check_rc=False)
    # Latin letters: xdotool types Cyrillic by remapping a key for each letter, and on a loaded
    # machine letters get lost on the way; this test is about the tray, not the keyboard.
    desktop.xdotool("type", "--delay", "30", "My text")

    for round_ in range(2):
        program.do_action(program.find("Свернуть программу в трей", pyatspi.ROLE_PUSH_BUTTON), "Press")
        wait_for(lambda: not desktop.windows("Вельмира 6.1"), 10, "the window to go to the tray")
        icon = wait_for(desktop.tray_icon, 10, "the icon in the notification area")
        desktop.click_window(icon, 3)
        wait_for(lambda: desktop.windows("Вельмира 6.1"), 10, "the window to come back after a right click")
        time.sleep(0.5)  # the icon's mouse handler has returned
        program.check_running()

    check(program.close() == 0, "the program ended with a failure")
    check("My text" in program.saved_text(), "Text.rtf does not hold the typed text: " + program.saved_text()[-80:])
    check(os.path.exists(program.file("Settings.ini")), "Settings.ini was not written")


if __name__ == "__main__":
    run(test)
