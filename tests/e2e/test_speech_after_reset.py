"""With clipboard tracking on, a text copied while another is being spoken cuts that one off and is
heard itself, round after round: speech that follows a reset must reach the sound server, and each new
stream keeps its full buffer, so that a busy moment of the program does not break the speech up."""

import re
import time

from velmira_desktop import Program, check, run, wait_for

ROUNDS = 6
# Each longer than the clipboard's polling second and the cut-off text's tail together, so that it
# cannot be taken for them.
NEXT = "Текст номер %d. Его слышно целиком, хотя предыдущий текст прервался на полуслове."


def long_text(n):
    return " ".join(["Длинный текст номер %d, который программа читает вслух очень долго." % n] * 10)


def test(desktop):
    sound = desktop.record()
    program = Program(desktop, settings={"Buffer": 1, "Tracking": 0})
    program.wait_window()
    time.sleep(1.5)  # the clipboard at start is remembered, not spoken

    desktop.copy(long_text(0))
    copied = time.monotonic()
    wait_for(lambda: sound.heard(since=copied) > 0.5, 15, "the first text to be heard")
    for n in range(1, ROUNDS + 1):
        time.sleep(2)
        desktop.copy(NEXT % n if n == ROUNDS else long_text(n))
        copied = time.monotonic()
        time.sleep(2.5)
        program.check_running()
        stretches = [(round(s - copied, 2), round(e - copied, 2)) for s, e in sound.sounds(since=copied)]
        check(stretches and stretches[-1][1] > 2.0, "text %d was not heard after the one before was cut off: %s"
              % (n, stretches))

    time.sleep(5)
    stretches = [(round(s - copied, 2), round(e - copied, 2)) for s, e in sound.sounds(since=copied)]
    check(3.0 < stretches[-1][1] < 9, "the last text was not heard to its end: %s" % stretches)

    # What the sound server made of each of the program's streams.
    with open(desktop.dir + "/pulse.log", errors="replace") as log:
        streams = re.findall(r'Created input \d+ "([^"]*)".*?Final latency ([0-9.]+) ms', log.read(), re.S)
    speech = [float(ms) for name, ms in streams if name not in ("/dev/zero", "parec")]
    check(len(speech) >= ROUNDS, "the sound server saw %d streams: %s" % (len(speech), streams))
    check(min(speech) > 200, "a stream after a reset has a shrunken buffer: %s ms" % speech)

if __name__ == "__main__":
    run(test)
