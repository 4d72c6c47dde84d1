"""While the editor's text is read aloud, the word being heard is marked in the editor: one word-sized
mark that moves on with the speech, seen on the screen; none before Read and none after Stop; and the
text saved at closing carries nothing of it."""

import time

import pyatspi
from velmira_desktop import Program, check, run, wait_for

# The mark's colour, drawn as it is over the editor's background.
MARK = (255, 200, 40)
TEXT = "\r\n".join(["Абзац номер %d. Слушатель следит глазами за словами, которые программа читает вслух, "
                    "и видит, где она сейчас." % n for n in range(1, 30)])


def mark_box(desktop, editor):
    """The box around the marked pixels in the editor, and how many there are; None without a mark."""
    box = editor.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    width, shot = desktop.pixels("root", (box.x, box.y, box.width, box.height))
    marked = [i for i, pixel in enumerate(shot) if pixel == MARK]
    if not marked:
        return None
    xs = [i % width for i in marked]
    ys = [i // width for i in marked]
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1, len(marked)


def test(desktop):
    sound = desktop.record()
    program = Program(desktop, remembered_text=TEXT)
    program.wait_window()
    editor = program.find("Текст", pyatspi.ROLE_TEXT)
    time.sleep(1)
    check(mark_box(desktop, editor) is None, "a mark is shown before Read")

    program.do_action(program.find("Прочитать текст (Ctrl+Y)", pyatspi.ROLE_PUSH_BUTTON), "Press")
    pressed = time.monotonic()
    wait_for(lambda: sound.heard(since=pressed) > 0.5, 20, "the text to be heard")
    boxes = []
    for n in range(4):
        if n:
            time.sleep(1.5)
        boxes.append(mark_box(desktop, editor))
    check(all(boxes), "no mark while the text is heard: %s" % boxes)
    for left, top, right, bottom, count in boxes:
        # One word on one line: a line's height, a word's width, filled but for the letters on it.
        check(8 <= bottom - top <= 40 and 4 <= right - left <= 300, "the mark is not word-sized: %s" % boxes)
        check(count >= (right - left) * (bottom - top) // 3, "the mark is not one box: %s" % boxes)
    places = [box[:2] for box in boxes]
    check(all(a != b for a, b in zip(places, places[1:])), "the mark does not move on: %s" % boxes)

    program.do_action(program.find("Стоп", pyatspi.ROLE_PUSH_BUTTON), "Press")
    wait_for(lambda: mark_box(desktop, editor) is None, 5, "the mark to go after Stop")
    time.sleep(1)
    check(mark_box(desktop, editor) is None, "a mark came back after Stop")

    check(program.close() == 0, "the program did not end well")
    with open(program.file("Text.rtf"), "rb") as f:
        rtf = f.read()
    for trace in (b"\\highlight", b"\\cb", b"\\chcbpat", b"\\red255\\green200\\blue40"):
        check(trace not in rtf, "the saved text carries the mark (%s)" % trace.decode())
    saved = program.saved_text()
    check("Абзац номер 29" in saved and "где она сейчас" in saved, "the saved text lost words")


if __name__ == "__main__":
    run(test)
