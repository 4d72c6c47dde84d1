"""The editor has the keyboard focus when the program starts, when it comes back from the
notification area and when one of its windows closes, so that Ctrl+Y reads at once."""

import time

import pyatspi
from velmira_desktop import Program, check, run, wait_for

MAIN = "Вельмира 6.1"


def test(desktop):
    sound = desktop.record()
    program = Program(desktop, remembered_text="Проверка клавиш.")
    main = program.wait_window()
    editor = program.find("Текст", pyatspi.ROLE_TEXT)
    focused = lambda: editor.getState().contains(pyatspi.STATE_FOCUSED)

    wait_for(lambda: desktop.xdotool("getactivewindow", check_rc=False) == main, 10, "the main window to be active")
    pressed = time.monotonic()
    desktop.key("ctrl+y")
    wait_for(lambda: sound.heard(since=pressed) > 0.3, 10, "Ctrl+Y right after start to read the text")
    check(focused(), "the editor does not have the focus after start")

    # Away from the editor, then into the tray and back.
    away = program.find("Стоп", pyatspi.ROLE_PUSH_BUTTON)
    program.do_action(away, "SetFocus")
    wait_for(lambda: not focused(), 5, "the focus to leave the editor")
    program.do_action(program.find("Свернуть программу в трей", pyatspi.ROLE_PUSH_BUTTON), "Press")
    wait_for(lambda: not desktop.windows(MAIN), 10, "the window to go to the tray")
    desktop.click_window(wait_for(desktop.tray_icon, 10, "the tray icon"), 1)
    wait_for(lambda: desktop.windows(MAIN), 10, "the window to come back")
    wait_for(focused, 10, "the editor to have the focus after the tray")

    # A window of the program opens and closes.
    program.do_action(away, "SetFocus")
    wait_for(lambda: not focused(), 5, "the focus to leave the editor")
    program.click(program.find("Читать текст несколько раз", pyatspi.ROLE_PUSH_BUTTON))
    repeat = program.wait_window("Чтение текста")
    desktop.xdotool("windowactivate", "--sync", repeat, check_rc=False)
    program.click(program.find("Отмена"))
    wait_for(lambda: not desktop.windows("Чтение текста"), 10, "the repeated-reading window to close")
    wait_for(focused, 10, "the editor to have the focus after a window closed")
    program.check_running()


if __name__ == "__main__":
    run(test)
