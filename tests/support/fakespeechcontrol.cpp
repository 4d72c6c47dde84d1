#include "fakespeechcontrol.h"

using namespace Qt::StringLiterals;

namespace velmira {

FakeSpeechControl::FakeSpeechControl(QObject *parent) : SpeechControl(parent)
{
    engines = {{u"Русский"_s, 80, 450, 0, 100}, {u"English"_s, 30, 300, 50, 250}};
}

void FakeSpeechControl::record(const QString &call)
{
    if (!failWith.isEmpty() && (failOnly.isEmpty() || call.startsWith(failOnly)))
        throw SpeechError(failWith);
    calls.append(call);
}

const FakeSpeechControl::Engine &FakeSpeechControl::current() const
{
    static const Engine none;
    if (m_selected < 1 || m_selected > engines.size())
        return none;
    return engines.at(m_selected - 1);
}

void FakeSpeechControl::Speak(const QString &text)
{
    record(u"Speak:"_s + text);
    spoken.append(text);
    nextSerial();
}

void FakeSpeechControl::Select(int engine)
{
    if (engine < 1 || engine > engines.size()) {
        record(u"Select:"_s + QString::number(engine));
        throw SpeechError(u"Нет голосового движка с номером %1."_s.arg(engine));
    }
    record(u"Select:"_s + QString::number(engine));
    m_selected = engine;
}

QString FakeSpeechControl::ModeName(int engine) const
{
    if (engine < 1 || engine > engines.size())
        throw SpeechError(u"Нет голосового движка с номером %1."_s.arg(engine));
    return engines.at(engine - 1).name;
}

int FakeSpeechControl::CountEngines() const
{
    return int(engines.size());
}

void FakeSpeechControl::setPitch(int pitch)
{
    record(u"Pitch:"_s + QString::number(pitch));
    m_pitch = pitch;
}

int FakeSpeechControl::MinPitch() const
{
    return current().minPitch;
}

int FakeSpeechControl::MaxPitch() const
{
    return current().maxPitch;
}

void FakeSpeechControl::setSpeed(int speed)
{
    record(u"Speed:"_s + QString::number(speed));
    m_speed = speed;
}

int FakeSpeechControl::MinSpeed() const
{
    return current().minSpeed;
}

int FakeSpeechControl::MaxSpeed() const
{
    return current().maxSpeed;
}

void FakeSpeechControl::AudioPause()
{
    record(u"AudioPause"_s);
}

void FakeSpeechControl::AudioResume()
{
    record(u"AudioResume"_s);
}

void FakeSpeechControl::AudioReset()
{
    record(u"AudioReset"_s);
    emit discarded();
}

void FakeSpeechControl::LexiconDlg(QWidget *, const QString &title)
{
    record(u"LexiconDlg:"_s + title);
}

void FakeSpeechControl::setFileName(const QString &path)
{
    record(u"FileName:"_s + path);
}

} // namespace velmira
