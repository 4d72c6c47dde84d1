#include "greeting.h"

#include "common/core/programfolder.h"
#include "common/core/settings.h"
#include "common/core/textcodec.h"
#include "common/core/textfile.h"
#include "reading/speaker.h"
#include "speech/speechcontrol.h"

#include <QFileInfo>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace velmira {

QString greetingsFilePath()
{
    return programFile(u"Greetings.txt"_s);
}

int nextGreeting(int count, int last, QRandomGenerator &random)
{
    if (count <= 0)
        return -1;
    if (count == 1)
        return 0;
    if (last < 0 || last >= count)
        return int(random.bounded(count));
    // Pick among the other lines, each as likely as the next: skip over the last one.
    const int r = int(random.bounded(count - 1));
    return r >= last ? r + 1 : r;
}

void speakGreeting(SpeechControl &speech, QRandomGenerator &random)
{
    const QString path = greetingsFilePath();
    if (!QFileInfo(path).isFile())
        return;
    const QStringList lines = splitLines(decodeText(readFileBytes(path)));
    const int last = readSetting(settings::LastGreeting);
    const int chosen = nextGreeting(int(std::min<qsizetype>(lines.size(), INT_MAX)), last, random);
    if (chosen < 0)
        return;
    writeSetting(settings::LastGreeting, chosen);
    Speaker::speak(speech, lines.at(chosen), Speaker::Turn::Queue);
}

} // namespace velmira
