// The greeting: a short joke from "Greetings.txt", never the one said last.
#pragma once

#include <QString>

class QRandomGenerator;

namespace velmira {

class SpeechControl;

// "Greetings.txt" in the program folder.
QString greetingsFilePath();

// The position of the next greeting among `count` lines, picked at random and never `last` (the
// position said last). With one line that line is the choice, repeated or not; with none there is no
// choice (-1). A `last` outside the lines rules nothing out.
int nextGreeting(int count, int last, QRandomGenerator &random);

// Says a greeting on `speech`, behind whatever is queued: a line of "Greetings.txt" picked by
// nextGreeting from the position stored in "LastGreeting", which then holds the new position. The line
// goes through text preparation. Without the file, or with an empty one, says nothing. Throws Error
// when the file cannot be read or the setting written, and whatever the speech control throws.
void speakGreeting(SpeechControl &speech, QRandomGenerator &random);

} // namespace velmira
