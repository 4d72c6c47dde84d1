"""With clipboard tracking on, a text copied while a long one is being spoken cuts the long one off
and is heard itself: speech that follows a reset must reach the sound server."""

import time

from velmira_desktop import Program, check, run, wait_for

SECOND = "Второй текст. Его слышно целиком, хотя длинный текст прервался на полуслове."
LONG = " ".join(["Это длинный текст, который программа читает вслух очень долго."] * 12)


def test(desktop):
    sound = desktop.record()
    program = Program(desktop, settings={"Buffer": 1, "Tracking": 0})
    program.wait_window()
    time.sleep(1.5)  # the clipboard at start is remembered, not spoken

    desktop.copy(LONG)
    copied = time.monotonic()
    wait_for(lambda: sound.heard(since=copied) > 0.5, 15, "the long text to be heard")
    time.sleep(2.5)

    # Longer than the clipboard's polling second, so that it cannot be taken for the end of the long text.
    desktop.copy(SECOND)
    second = time.monotonic()
    time.sleep(10)
    program.check_running()

    stretches = [(round(s - second, 2), round(e - second, 2)) for s, e in sound.sounds(since=second)]
    print("after the second copy:", stretches)
    check(stretches, "nothing was heard after the second copy")
    check(stretches[-1][1] < 9, "the long text went on after the second copy: %s" % stretches)
    check(sound.heard(since=second + 1.5) > 1.5, "the second text was not heard: %s" % stretches)


if __name__ == "__main__":
    run(test)
