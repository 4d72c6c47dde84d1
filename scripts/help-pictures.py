#!/usr/bin/python3
"""Takes the pictures of the user guide into resources/help/: the main window, every button of the
toolbar and of the formatting group, and every window the program has.

Run it on an X desktop with a window manager and the accessibility bus (DISPLAY and
DBUS_SESSION_BUS_ADDRESS set in the shell; tests/e2e/velmira_desktop.py shows how to start a private
one), with the program built:

    scripts/help-pictures.py build/dev/src/app/velmira
    cmake --build build/dev --target userguide

The program runs with a folder of its own and a short sample text. Controls are found by their
accessible names (as a screen reader finds them) and clicked with the mouse. A window that does not
open within a few seconds is reported and skipped, and its old picture, if any, stays.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

HERE = os.path.dirname(os.path.abspath(__file__))
PICTURES = os.path.join(HERE, "..", "resources", "help")

# Accessible name of a button -> picture file.
BUTTONS = {
    "Читать текст несколько раз": "button-repeat.png",
    "Прочитать текст (Ctrl+Y)": "button-read.png",
    "Пауза (Ctrl+P)": "button-pause.png",
    "Стоп": "button-stop.png",
    "Прочтать буфер": "button-read-clipboard.png",
    "Слежение за набором текста": "button-track-typing.png",
    "Слежение за буфером": "button-track-clipboard.png",
    "Запись голоса в файл": "button-record.png",
    "Экспорт в MS Word (Ctrl+W)": "button-export.png",
    "Интуитивное выделение": "button-highlight.png",
    "Шрифт (Ctrl+F)": "button-font.png",
    "Органайзер": "button-organizer.png",
    "Произнести приветствие": "button-greeting.png",
    "Свернуть программу в трей": "button-tray.png",
    "Панель настроек": "button-panel.png",
    "По левому краю": "button-align-left.png",
    "По центру": "button-align-center.png",
    "По правому краю": "button-align-right.png",
    "Полужирный (Ctrl+B)": "button-bold.png",
    "Курсив (Ctrl+I)": "button-italic.png",
    "Подчёркнуты (Ctrl+U)": "button-underline.png",
    "Увеличить размер шрифта (Ctrl+K)": "button-font-larger.png",
    "Уменьшить размер шрифта (Ctrl+T)": "button-font-smaller.png",
}

SAMPLE = ("Вельмира читает текст вслух.\r\n"
          "Напишите, вставьте или откройте текст, выберите голос, скорость и тембр, "
          "и нажмите кнопку «Прочитать текст».\r\n")


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def program():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "velmira":
            return app
    return None


def find(root, name, roles=None):
    """The first showing control named `name` under `root`."""
    if root is None:
        return None
    try:
        states = root.getState()
        if root.name == name and states.contains(pyatspi.STATE_SHOWING) and \
                (roles is None or root.getRoleName() in roles):
            return root
    except Exception:
        return None
    for child in root:
        found = find(child, name, roles)
        if found is not None:
            return found
    return None


def wait_for(name, roles=None, seconds=8.0):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = find(program(), name, roles)
        if found is not None:
            return found
        time.sleep(0.2)
    return None


def extents(control):
    box = control.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def click(control):
    x, y, w, h = extents(control)
    run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1")
    time.sleep(0.6)


def window_id(title, seconds=5.0):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title],
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[-1]
        time.sleep(0.2)
    return None


def shoot_window(wid, picture):
    time.sleep(0.8)  # let the window paint
    # Without the time of taking in the file, a picture that did not change keeps its bytes.
    run("import", "-frame", "-window", wid, "-strip", os.path.join(PICTURES, picture))
    print("took", picture)


def shoot_buttons():
    screen = os.path.join(tempfile.gettempdir(), "velmira-help-screen.png")
    run("import", "-window", "root", screen)
    for name, picture in BUTTONS.items():
        control = find(program(), name, ("push button", "toggle button", "check box"))
        if control is None:
            print("no button", name, file=sys.stderr)
            continue
        x, y, w, h = extents(control)
        run("convert", screen, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", "-strip",
            os.path.join(PICTURES, picture))
    os.remove(screen)
    print("took the buttons")


def open_by_button(name):
    control = find(program(), name, ("push button",))
    if control is None:
        return False
    click(control)
    return True


def open_by_menu(menu, item):
    title = find(program(), menu, ("menu item", "menu"))
    if title is None:
        return False
    click(title)
    entry = wait_for(item, ("menu item",), 3)
    if entry is None:
        run("xdotool", "key", "Escape")
        return False
    click(entry)
    return True


def shoot_dialog(opened, title, picture, inside=None):
    """Opens a window (`opened` clicks its button or menu item), photographs it, runs `inside` while
    it is open, and closes it with Esc."""
    wid = None
    # A click that only brings the window to the front opens nothing: one more try.
    for _ in range(2):
        if not opened():
            print("cannot open", title, file=sys.stderr)
            return
        wid = window_id(title)
        if wid is not None:
            break
    if wid is None:
        print("no window", title, file=sys.stderr)
        return
    shoot_window(wid, picture)
    if inside:
        inside()
    subprocess.run(["xdotool", "windowactivate", "--sync", wid], capture_output=True)
    subprocess.run(["xdotool", "key", "Escape"], capture_output=True)
    time.sleep(0.6)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    executable = os.path.abspath(sys.argv[1])
    home = tempfile.mkdtemp(prefix="velmira-help-")
    with open(os.path.join(home, "Settings.ini"), "wb") as settings:
        # The dictionary in use, so that its window is photographed as the user works in it.
        settings.write("[Global]\r\nGreeting=0\r\nTime=0\r\nDictionary=1\r\n".encode("cp1251"))
    sample = os.path.join(home, "Пример.txt")
    with open(sample, "wb") as text:
        text.write(SAMPLE.encode("cp1251"))
    env = dict(os.environ, VELMIRA_HOME=home, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    process = subprocess.Popen([executable, sample], env=env)
    try:
        if wait_for("Вельмира 6.1", ("frame",), 20) is None:
            sys.exit("the main window did not appear")
        wid = window_id("Вельмира 6.1")
        # A window of a usual size rather than the whole screen.
        run("wmctrl", "-i", "-r", wid, "-b", "remove,maximized_vert,maximized_horz")
        run("xdotool", "windowsize", wid, "1000", "600", "windowmove", wid, "40", "40")
        time.sleep(1.0)
        shoot_window(wid, "main-window.png")
        shoot_buttons()

        shoot_dialog(lambda: open_by_button("Читать текст несколько раз"), "Чтение текста",
                     "window-repeat.png")
        shoot_dialog(lambda: open_by_button("Запись голоса в файл"), "Запись голоса в звуковой файл",
                     "window-recording.png")
        shoot_dialog(lambda: open_by_button("Интуитивное выделение"), "Интуитивное выделение",
                     "window-highlight.png")
        shoot_dialog(lambda: open_by_menu("Дополнительно", "Словарь поправок (Ctrl+D)"), "Словарь поправок",
                     "window-dictionary.png")
        shoot_dialog(lambda: open_by_menu("Дополнительно", "Настройки"), "Настройки программы",
                     "window-settings.png")
        shoot_dialog(lambda: open_by_menu("Дополнительно", "О программе"), "О программе Вельмира 6.1",
                     "window-about.png")
        shoot_dialog(lambda: open_by_button("Органайзер"), "Органайзер", "window-organizer.png",
                     inside=lambda: shoot_dialog(lambda: open_by_button("Добавить напоминание"),
                                                 "Редактор напоминаний", "window-reminder.png"))
    finally:
        process.terminate()
        process.wait(10)
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
