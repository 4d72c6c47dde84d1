#!/usr/bin/env python3
"""A second, deliberately plain reader and writer of "Organayzer.txt", for checking the program's own.

It follows the file's definition step by step, on bytes, with no shortcuts: the replacement loop starts
again from the start of the text after every replacement, and the random digits are inserted and deleted
one at a time.

    reminderfile.py store PLAIN OUT   scramble the plain table text in PLAIN into the file OUT
    reminderfile.py load FILE OUT     write the plain table text of FILE into OUT; exit 1 if it is ignored
    reminderfile.py substitute DIGITS print the stored form of a digit string (as Windows-1251)
    reminderfile.py scramble-hex IN OUT    scramble every line of IN (hex bytes), one stored line each
    reminderfile.py unscramble-hex IN OUT  unscramble every stored line of IN, one line of hex bytes each
"""
import random
import sys

KEY = "Ласточкин".encode("cp1251")


def replace_all(text, what, with_):
    if not what:
        return text
    while True:
        at = text.find(what)
        if at < 0:
            return text
        text = text[:at] + with_ + text[at + len(what):]


def reverse_text(text):
    return text[::-1]


def substituted_codes(descending):
    codes = range(255, 32, -1) if descending else range(33, 256)
    return [n for n in codes if not (127 <= n <= 191) and not (48 <= n <= 57)]


def repeated_key(key, length):
    r = reverse_text(key)
    while len(r) <= length:
        r += reverse_text(key)
    return r


def scramble(plain, key):
    if len(key) < 4:
        return b""
    n = len(plain)
    r = repeated_key(key, n)
    d = b""
    for p in range(1, n + 1):
        v = r[len(r) - p] + plain[p - 1] + r[p - 1]
        d += reverse_text(str(v).encode())
    p = 1
    while p < len(d):
        digit = str(random.randint(0, 9)).encode()
        d = d[:p - 1] + digit + d[p - 1:]
        p += len(key)
    for n in substituted_codes(True):
        d = replace_all(d, str(n).encode(), bytes([n]))
    return d


def unscramble(stored, key):
    s = replace_all(stored, b"\r\n", b"")
    if len(key) < 4:
        return b""
    r = repeated_key(key, len(s))
    for n in substituted_codes(False):
        s = replace_all(s, bytes([n]), str(n).encode())
    p = 1
    while p < len(s):
        s = s[:p - 1] + s[p:]
        p += len(key) - 1
    result = b""
    p = 1
    while s:
        three = reverse_text(s[:3])
        if not three.isdigit():
            return b""
        v = int(three) - (r[p - 1] + r[len(r) - p])
        if v < 0 or v > 255:
            return b""
        result += bytes([v])
        s = s[3:]
        p += 1
    return result


def lines_of(data):
    return data.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n") if data else []


def check_line(stored):
    return str(sum(stored)).encode() + b":" + str(len(stored)).encode()


def load(data):
    lines = lines_of(data)
    if len(lines) < 2 or lines[1] != check_line(lines[0]):
        return None
    plain = unscramble(lines[0], KEY)
    if not plain:
        return None
    cells = lines_of(plain)
    if plain.endswith(b"\n") or plain.endswith(b"\r"):
        cells = cells[:-1]
    if not cells or not cells[0].isdigit() or int(cells[0]) < 1:
        return None
    if len(cells) - 1 < 6 * (int(cells[0]) - 1):
        return None
    return plain


def main():
    command = sys.argv[1]
    if command == "store":
        with open(sys.argv[2], "rb") as f:
            stored = scramble(f.read(), KEY)
        with open(sys.argv[3], "wb") as f:
            f.write(stored + b"\r\n" + check_line(stored) + b"\r\n")
    elif command == "load":
        with open(sys.argv[2], "rb") as f:
            plain = load(f.read())
        if plain is None:
            return 1
        with open(sys.argv[3], "wb") as f:
            f.write(plain)
    elif command in ("scramble-hex", "unscramble-hex"):
        with open(sys.argv[2], "rb") as f:
            lines = f.read().split(b"\n")[:-1]
        with open(sys.argv[3], "wb") as f:
            for line in lines:
                if command == "scramble-hex":
                    f.write(scramble(bytes.fromhex(line.decode()), KEY) + b"\n")
                else:
                    f.write(unscramble(line, KEY).hex().encode() + b"\n")
    elif command == "substitute":
        d = sys.argv[2].encode()
        for n in substituted_codes(True):
            d = replace_all(d, str(n).encode(), bytes([n]))
        sys.stdout.buffer.write(d)
    return 0


if __name__ == "__main__":
    sys.exit(main())
