"""Closing when the remembered text cannot be written keeps the window open with a box that names the
file and offers what to do; Esc goes back to the text, and "Сохранить как..." saves it under another
name, after which the program ends. The typed text survives."""

import os
import time

import pyatspi

from velmira_desktop import Failure, Program, check, run, wait_for

REMEMBERED = "Вчерашний текст, который нельзя терять"
# Typed in Latin letters: xdotool types others by remapping keys, which can take F4 from Alt+F4.
TYPED = "and today's lines"


def closing_box(program):
    return program.find_containing("Не удалось сохранить текст в файл")


def buttons(box):
    dialog = box
    while dialog is not None and dialog.getRole() not in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG):
        dialog = dialog.parent
    check(dialog is not None, "the message is in no window")
    found = pyatspi.findAllDescendants(dialog, lambda a: a is not None and a.getRole() == pyatspi.ROLE_PUSH_BUTTON)
    return {b.name: b for b in found}



def press_close(program, main):
    program.desktop.xdotool("windowactivate", "--sync", main, check_rc=False)
    program.desktop.key("alt+F4")


def test(desktop):
    program = Program(desktop, remembered_text=REMEMBERED)
    main = program.type_at_end(TYPED)
    # A folder where the remembered text goes: no write can replace it, as on a full disk.
    os.remove(program.file("Text.rtf"))
    os.mkdir(program.file("Text.rtf"))

    press_close(program, main)
    box = closing_box(program)
    check(program.file("Text.rtf") in box.name or program.file("Text.rtf") in (box.description or ""),
          "the box does not name the file: " + box.name)
    offered = buttons(box)
    for name in ("Повторить", "Сохранить как...", "Закрыть без сохранения", "Отмена"):
        check(name in offered, "no button %s among %s" % (name, sorted(offered)))
    for wid in desktop.windows("Вельмира 6.1"):
        if wid != main:
            desktop.screenshot(wid, os.path.join(desktop.dir, "closing-box.png"))
    if os.environ.get("VELMIRA_E2E_KEEP"):
        print("screenshot:", os.path.join(desktop.dir, "closing-box.png"))

    # Esc: back to work with the text.
    desktop.key("Escape")
    wait_for(lambda: desktop.windows("Вельмира 6.1") == [main], 10, "the box to close")
    time.sleep(0.5)
    program.check_running()
    check(REMEMBERED in program.editor_text() and TYPED in program.editor_text(), "the text is gone after Esc")

    # Again, and this time saved under another name.
    press_close(program, main)
    program.click(buttons(closing_box(program))["Сохранить как..."])
    dialog = program.wait_window("Выбор файла для сохранения", timeout=15)
    desktop.xdotool("windowactivate", "--sync", dialog, check_rc=False)
    time.sleep(0.5)
    desktop.xdotool("type", "--delay", "20", program.file("rescued"))
    desktop.key("Return")
    try:
        program.proc.wait(timeout=20)
    except Exception:
        raise Failure("the program did not end after the text was saved elsewhere")
    check(program.proc.returncode == 0, "the program ended with status %s: %s"
          % (program.proc.returncode, desktop.tail("velmira", 40)))
    saved = program.saved_text("rescued.rtf")
    check(REMEMBERED in saved and TYPED in saved, "the text was not saved: " + saved)
    check(os.path.isdir(program.file("Text.rtf")), "the folder in the way was touched")


if __name__ == "__main__":
    run(test)
