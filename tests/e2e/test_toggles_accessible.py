"""The toolbar's toggle buttons, toggled as a screen reader does (the "Toggle" action), run their
command: the settings panel goes and comes back, clipboard and typing tracking speak."""

import time

import pyatspi
from velmira_desktop import Program, check, run, wait_for


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def test(desktop):
    sound = desktop.record()
    program = Program(desktop, settings={"Buffer": 0, "Tracking": 0, "Panel": 1})
    main = program.wait_window()
    voices = program.find("Голосовой движок:", pyatspi.ROLE_LABEL)
    check(showing(voices), "the settings panel is not shown at start")

    panel = program.find("Панель настроек", pyatspi.ROLE_CHECK_BOX)
    program.do_action(panel, "Toggle")
    wait_for(lambda: not showing(voices), 10, "the settings panel to go")
    program.do_action(panel, "Toggle")
    wait_for(lambda: showing(voices), 10, "the settings panel to come back")

    program.do_action(program.find("Слежение за буфером", pyatspi.ROLE_CHECK_BOX), "Toggle")
    time.sleep(1.5)
    desktop.copy("Буфер слышно.")
    copied = time.monotonic()
    wait_for(lambda: sound.heard(since=copied) > 0.3, 10, "the copied text to be spoken")

    typing = program.find("Слежение за набором текста", pyatspi.ROLE_CHECK_BOX)
    program.do_action(typing, "Toggle")
    wait_for(lambda: typing.getState().contains(pyatspi.STATE_CHECKED), 10, "typing tracking to be on")
    time.sleep(2)  # what the clipboard said is over
    desktop.xdotool("windowactivate", "--sync", main, check_rc=False)
    typed = time.monotonic()
    # A number: xdotool types Cyrillic by remapping a key for each letter and loses letters (the
    # space too) on a loaded machine; digits and the space need no remapping.
    desktop.xdotool("type", "--delay", "40", "2024 ")
    wait_for(lambda: sound.heard(since=typed) > 0.2, 10, "the typed word to be spoken")
    program.check_running()


if __name__ == "__main__":
    run(test)
