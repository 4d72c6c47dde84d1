// Typing tracking's rules: which typed character ends a word, and which word it ends.
#pragma once

#include <QChar>
#include <QStringView>

class QKeyEvent;

namespace velmira {

// The character a key press types, as the editor's key handling sees it: a control character for Ctrl
// with a Latin letter (Ctrl+A is 1 ... Ctrl+Z is 26), Enter as CR (LF with Ctrl), Tab, Backspace and
// Esc as their codes, any other key as the first character of its text. A null character when the key
// types nothing (Shift alone, arrows, Delete, Alt combinations, Ctrl with anything but a letter or
// Enter).
QChar typedCharacter(const QKeyEvent &event);

// Word characters: the digits, "@", the Latin letters and the Cyrillic letters with Ё and ё, that is
// the Windows-1251 codes 0x30-0x39, 0x40-0x5A, 0x61-0x7A, 0xC0-0xFF, 0xA8 and 0xB8.
bool isWordCharacter(QChar c);

// Whether typing `typed` with the caret (or the start of the selection) at `caret` ends a word: a
// character that is not a word character and not a control character below Tab or from 15 to 29,
// typed after at least one character. So space, Enter, punctuation and symbols end a word, while
// letters, digits and Backspace do not.
bool endsWord(QChar typed, int caret);

// The longest run of word characters at the end of `text` (empty when its last character is not one).
QStringView wordAtEnd(QStringView text);

// How far back from the caret typing tracking looks for the word.
constexpr int TypedWordWindow = 100;

} // namespace velmira
