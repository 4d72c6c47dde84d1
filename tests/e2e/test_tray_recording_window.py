"""With the recording window open, "Свернуть" puts the program in the notification area, and a click
on its icon brings it back with the recording window on top."""

import pyatspi
from velmira_desktop import Program, check, run, wait_for

MAIN = "Вельмира 6.1"


def test(desktop):
    program = Program(desktop, remembered_text="Текст для записи в файл.")
    program.wait_window()
    program.click(program.find("Запись голоса в файл", pyatspi.ROLE_PUSH_BUTTON))
    recording = program.wait_window("Запись голоса в звуковой файл")

    program.do_action(program.find("Свернуть"), "Press")
    wait_for(lambda: not desktop.windows(MAIN), 10, "the main window to go to the tray")
    icon = wait_for(desktop.tray_icon, 10, "the icon in the notification area")

    desktop.click_window(icon, 1)
    wait_for(lambda: desktop.windows(MAIN), 10, "the main window to come back after a click on the icon")
    wait_for(lambda: desktop.windows("Запись голоса в звуковой файл"), 10, "the recording window to come back")
    active = wait_for(lambda: desktop.xdotool("getactivewindow", check_rc=False), 10, "an active window")
    check(desktop.xdotool("getwindowname", active) == "Запись голоса в звуковой файл",
          "the recording window is not on top: %s is active" % desktop.xdotool("getwindowname", active))
    check(recording in desktop.windows("Запись голоса в звуковой файл"), "the recording window was replaced")
    program.check_running()


if __name__ == "__main__":
    run(test)
