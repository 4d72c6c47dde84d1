#include "greeting.h"

#include "common/inifile.h"
#include "common/programfolder.h"
#include "common/textcodec.h"
#include "common/textfile.h"
#include "speech/speechcontrol.h"
#include "speech/textpreparation.h"

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
    IniFile settings = IniFile::settings();
    const int last = settings.readInteger(IniFile::global(), u"LastGreeting"_s, 0);
    const int chosen = nextGreeting(int(std::min<qsizetype>(lines.size(), INT_MAX)), last, random);
    if (chosen < 0)
        return;
    settings.writeInteger(IniFile::global(), u"LastGreeting"_s, chosen);
    speech.Speak(prepareText(lines.at(chosen)));
}

} // namespace velmira
