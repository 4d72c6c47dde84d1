"""A walk through the program as a user takes it: read a text aloud, record it to a sound file,
hide in the notification area and come back, close; the text is kept for the next start."""

import os
import time
import wave

import pyatspi
from velmira_desktop import Program, check, run, wait_for

MAIN = "Вельмира 6.1"
TEXT = "Мама мыла раму. Папа читал газету."


def test(desktop):
    sound = desktop.record()
    program = Program(desktop, remembered_text=TEXT, answers="Ok")
    program.wait_window()

    pressed = time.monotonic()
    program.do_action(program.find("Прочитать текст (Ctrl+Y)", pyatspi.ROLE_PUSH_BUTTON), "Press")
    wait_for(lambda: sound.heard(since=pressed) > 1.0, 15, "the text to be read aloud")
    wait_for(lambda: sound.sounds(since=pressed) and time.monotonic() - sound.sounds(since=pressed)[-1][1] > 1.5,
             20, "the reading to end")
    stretches = sound.sounds(since=pressed)
    check(stretches[-1][1] - stretches[0][0] < 8, "the reading took too long: %s" % stretches)

    target = os.path.join(program.home, "Запись.wav")
    program.click(program.find("Запись голоса в файл", pyatspi.ROLE_PUSH_BUTTON))
    program.wait_window("Запись голоса в звуковой файл")
    path = program.find("Файл для записи", pyatspi.ROLE_TEXT)
    path.queryEditableText().setTextContents(target)
    start = program.find("Начать запись")
    wait_for(lambda: start.getState().contains(pyatspi.STATE_ENABLED), 10, "the start button to be enabled")
    program.do_action(start, "Press")
    wait_for(lambda: not desktop.windows("Запись голоса в звуковой файл"), 30, "the recording to finish")
    with wave.open(target, "rb") as w:
        seconds = w.getnframes() / w.getframerate()
    check(1.5 < seconds < 8, "the recorded file lasts %.1f s" % seconds)

    program.do_action(program.find("Свернуть программу в трей", pyatspi.ROLE_PUSH_BUTTON), "Press")
    wait_for(lambda: not desktop.windows(MAIN), 10, "the window to go to the tray")
    desktop.click_window(wait_for(desktop.tray_icon, 10, "the tray icon"), 1)
    wait_for(lambda: desktop.windows(MAIN), 10, "the window to come back")

    check(program.close() == 0, "the program ended with a failure")
    check(program.saved_text().startswith("{\\rtf"), "Text.rtf is not RTF after closing")
    check(TEXT in program.saved_text(), "Text.rtf lost the text")

if __name__ == "__main__":
    run(test)
