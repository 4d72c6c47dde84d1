"""A long document opened with "Открыть..." is read while the window goes on answering; keys typed
meanwhile wait for it and then go into it at its start, and the old text takes none of them."""

import os
import time

import pyatspi
from velmira_desktop import Program, check, run, wait_for

OPEN_BOX = "Выбор файла для открытия"


def long_rtf(path, paragraphs):
    body = "".join("\\'c0\\'e1\\'e7\\'e0\\'f6 %d, \\'e2 \\'ea\\'ee\\'f2\\'ee\\'f0\\'ee\\'ec "
                   "\\'ed\\'e5\\'f1\\'ea\\'ee\\'eb\\'fc\\'ea\\'ee \\'f1\\'eb\\'ee\\'e2.\\par\n" % i
                   for i in range(paragraphs))
    with open(path, "w", encoding="ascii") as f:
        f.write("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Times New Roman;}}\\f0 " + body + "}")


def text_of(editor):
    text = editor.queryText()
    return text.getText(0, min(text.characterCount, 200))


def test(desktop):
    program = Program(desktop)
    path = os.path.join(desktop.dir, "long.rtf")
    # About 1.7 M characters: seconds to read in a build with sanitizers.
    long_rtf(path, 40000)
    main = program.wait_window()
    editor = program.find("Текст", pyatspi.ROLE_TEXT)
    wait_for(lambda: desktop.xdotool("getactivewindow", check_rc=False) == main, 10, "the main window to be active")

    desktop.key("ctrl+o")
    box = wait_for(lambda: desktop.windows(OPEN_BOX), 10, "the open box")[0]
    desktop.xdotool("windowactivate", "--sync", box, check_rc=False)
    desktop.xdotool("type", "--delay", "20", path)
    desktop.key("Return")
    wait_for(lambda: not desktop.windows(OPEN_BOX), 10, "the open box to close")
    wait_for(lambda: desktop.xdotool("getactivewindow", check_rc=False) == main, 10, "the main window to be active")
    # Keys typed while the open box is still going away reach the old text before the document is
    # read at all; the reading takes seconds.
    time.sleep(0.3)
    desktop.xdotool("type", "--delay", "20", "xyz")
    typed = time.monotonic()
    # The window answers the screen reader while the document is read, and the keys wait.
    check(text_of(editor) == "", "the keys went into the old text, or the document was read before they "
                                 "were typed: %r" % text_of(editor))
    try:
        wait_for(lambda: text_of(editor).startswith("xyzАбзац 0, в котором"), 60, "the keys to go into the document")
    except Exception:
        check(False, "the keys did not go into the start of the document: %r" % text_of(editor)[:60])
    print("document shown with the keys %.1f s after they were typed" % (time.monotonic() - typed))
    program.check_running()


if __name__ == "__main__":
    run(test)
