"""Started with "new" where the list of installed programs cannot be made, the program says which
folders it could not create, each once."""

import os

from velmira_desktop import Program, check, run, wait_for


def test(desktop):
    # A file where the desktop's folder of program entries should be.
    data = desktop.env["XDG_DATA_HOME"]
    os.makedirs(data)
    open(os.path.join(data, "applications"), "w").close()

    program = Program(desktop, answers="Ok", args=("new",))
    program.wait_window()

    def warning():
        with open(os.path.join(desktop.dir, "velmira.log"), encoding="utf-8", errors="replace") as out:
            return [line for line in out.read().splitlines() if "Не удалось создать:" in line]
    boxes = wait_for(warning, 30, "the warning about the entries")
    check(len(boxes) == 1, "the warning came %d times" % len(boxes))
    text = boxes[0].split("\t")[-1]
    lines = text.split("\\n")[1:]
    check(len(lines) == len(set(lines)), "a folder is named more than once: %s" % lines)
    check(len(lines) == 2, "not the two folders: %s" % lines)
    for line in lines:
        check(os.path.join(data, "applications") in line, "an unexpected line: %s" % line)
    program.check_running()


if __name__ == "__main__":
    run(test)
