"""The font box starts on the family the text is drawn with: OK without a change keeps the text's
font, where "Times New Roman" is drawn by its stand-in."""

import subprocess

import pyatspi

from velmira_desktop import Program, check, run, wait_for

RTF = (b"{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fnil\\fcharset204 Times New Roman;}}"
       b"\\pard\\plain\\f0\\fs24 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2\\par}")


def test(desktop):
    fonts = subprocess.run(["fc-match", "-f", "%{family}", "Times New Roman"], capture_output=True).stdout.decode()
    program = Program(desktop)
    with open(program.file("Text.rtf"), "wb") as f:
        f.write(RTF)
    main = program.wait_window()
    wait_for(lambda: desktop.xdotool("getactivewindow", check_rc=False) == main, 10, "the main window to be active")
    program.click(program.find("Текст", pyatspi.ROLE_TEXT))
    desktop.key("ctrl+f")
    box = program.wait_window("Шрифт")
    desktop.xdotool("windowactivate", "--sync", box, check_rc=False)
    dialog = program.find("Шрифт", pyatspi.ROLE_DIALOG)
    program.click(wait_for(lambda: pyatspi.findDescendant(dialog, lambda a: a is not None and a.name in ("OK", "ОК") and
                                                          a.getRole() == pyatspi.ROLE_PUSH_BUTTON and
                                                          a.getState().contains(pyatspi.STATE_SHOWING)),
                           10, "the OK button"))
    # "Apply the font to the whole text?" is asked, Yes being the default.
    wait_for(lambda: not desktop.windows("Шрифт"), 10, "the font box to close")
    question = program.wait_window("Вельмира 6.1", timeout=10)
    for wid in desktop.windows("Вельмира 6.1"):
        if wid != main:
            desktop.xdotool("windowactivate", "--sync", wid, check_rc=False)
            desktop.key("Return")
    wait_for(lambda: desktop.windows("Вельмира 6.1") == [main], 10, "the question to be answered")
    check(question, "no main window")
    check(program.close() == 0, "the program ended with a failure")

    saved = program.saved_text()
    check("Привет" in saved, "the text was lost: " + saved)
    table = saved[saved.index("{\\fonttbl"):saved.index("}}") + 2]
    check("Sans" not in table, "the font box changed the font by itself: " + table)
    check("Times New Roman" in table or fonts in table, "the text's font is not kept: " + table)


if __name__ == "__main__":
    run(test)
