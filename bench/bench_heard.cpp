// What the user waits for, timed where the user notices it: the program is started as a user starts it,
// on an X display and a sound server of the benchmark's own, keys are pressed as a user presses them,
// and the sound is heard at the sound server (the monitor of a silent sink). espeak-ng's command line
// reads the same text in the same run, taking turns with the program.
//
// Needs Xvfb, xdotool, pulseaudio and its tools (parec, pacat) and espeak-ng; the path of the program
// is built in.
#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <optional>

using namespace velmira::bench;
using namespace Qt::StringLiterals;

namespace {

// A sample louder than this is sound (of 32767); the silent sink gives exact zeros.
constexpr int Loud = 200;
constexpr int Rate = 22050;

bool waitUntil(const std::function<bool()> &ready, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QThread::msleep(10);
    }
    return true;
}

// An X server and a sound server with one silent sink, both private to this run.
class PrivateDesktop
{
public:
    PrivateDesktop()
    {
        for (int number = 90; number < 110 && m_display.isEmpty(); ++number) {
            if (QFile::exists(u"/tmp/.X%1-lock"_s.arg(number)))
                continue;
            m_xserver.start(u"Xvfb"_s, {u":%1"_s.arg(number), u"-screen"_s, u"0"_s, u"1280x900x24"_s,
                                       u"-nolisten"_s, u"tcp"_s});
            const QString display = u":%1"_s.arg(number);
            if (m_xserver.waitForStarted() &&
                waitUntil([&] { return QProcess::execute(u"xdpyinfo"_s, {u"-display"_s, display}) == 0; }, 5000))
                m_display = display;
            else
                stop(m_xserver);
        }
        // The program plays to the sound server and shows its window on the X server, nowhere else.
        for (const QString &name : {u"QT_QPA_PLATFORM"_s, u"VELMIRA_AUDIO"_s, u"WAYLAND_DISPLAY"_s})
            m_environment.remove(name);
        m_environment.insert(u"DISPLAY"_s, m_display);
        m_environment.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        const QString socket = m_runtime.filePath(u"native"_s);
        m_environment.insert(u"PULSE_SERVER"_s, u"unix:"_s + socket);
        m_soundServer.setProcessEnvironment(m_environment);
        m_soundServer.start(u"pulseaudio"_s, {u"--daemonize=no"_s, u"--exit-idle-time=-1"_s, u"-n"_s,
                                              u"--load=module-null-sink sink_name=speakers"_s,
                                              u"--load=module-native-protocol-unix socket="_s + socket});
        m_ready = !m_display.isEmpty() && m_soundServer.waitForStarted() &&
                  waitUntil([&] { return QFile::exists(socket); }, 5000);
    }

    ~PrivateDesktop()
    {
        stop(m_soundServer);
        stop(m_xserver);
    }

    bool isReady() const { return m_ready; }
    const QProcessEnvironment &environment() const { return m_environment; }

    static void stop(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

private:
    QTemporaryDir m_runtime;
    QProcess m_xserver;
    QProcess m_soundServer;
    QString m_display;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    bool m_ready = false;
};

// What the silent sink plays, as it plays it.
class Listener
{
public:
    explicit Listener(const QProcessEnvironment &environment)
    {
        m_recorder.setProcessEnvironment(environment);
        m_recorder.start(u"parec"_s, {u"-d"_s, u"speakers.monitor"_s, u"--raw"_s, u"--format=s16le"_s,
                                      u"--rate=%1"_s.arg(Rate), u"--channels=1"_s, u"--latency-msec=5"_s});
        m_recorder.waitForStarted();
        // The monitor runs only while something plays; silence keeps it running between the sounds.
        m_silence.setProcessEnvironment(environment);
        m_silence.start(u"pacat"_s, {u"--raw"_s, u"--latency-msec=10"_s, u"/dev/zero"_s});
        m_silence.waitForStarted();
        waitUntil([&] { return m_recorder.waitForReadyRead(10); }, 3000);
    }

    ~Listener()
    {
        PrivateDesktop::stop(m_silence);
        PrivateDesktop::stop(m_recorder);
    }

    // Throws away what was heard so far, until what comes is what is played now (a backlog that
    // waited in the pipe would be timed as if it had just been played).
    void forget()
    {
        QElapsedTimer waited;
        waited.start();
        qsizetype read = 0;
        do {
            m_recorder.waitForReadyRead(20);
            read = m_recorder.readAll().size();
        } while (read > Rate * 2 / 50 && waited.elapsed() < 3000);
        m_odd.clear();
    }

    // Milliseconds on `clock` when sound is first heard (or when it was last heard before a tenth of a
    // second with no sound, with `silence`: 0 when none came); nothing when it did not come within
    // `limit` milliseconds.
    std::optional<double> waitFor(const QElapsedTimer &clock, bool silence, int limit = 10000)
    {
        double lastLoud = -1;
        int quiet = 0;
        while (clock.elapsed() < limit) {
            if (!m_recorder.waitForReadyRead(50))
                continue;
            const double readAt = double(clock.nsecsElapsed()) * 1e-6;
            QByteArray bytes = m_odd + m_recorder.readAll();
            m_odd = bytes.size() % 2 ? bytes.right(1) : QByteArray();
            const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData());
            const qsizetype count = bytes.size() / 2;
            for (qsizetype i = 0; i < count; ++i) {
                // The monitor plays on without a break (silence keeps it running): a sample came the
                // time of the samples after it before the read.
                const double now = readAt - double(count - i) * 1000 / Rate;
                const bool loud = std::abs(int(samples[i])) > Loud;
                if (!silence && loud)
                    return now;
                if (loud) {
                    lastLoud = now;
                    quiet = 0;
                } else if (++quiet >= Rate / 10) {
                    return std::max(lastLoud, 0.0);
                }
            }
        }
        return std::nullopt;
    }

private:
    QProcess m_recorder;
    QProcess m_silence;
    QByteArray m_odd;
};

// A text file of about `bytes` bytes of Russian in UTF-8, in paragraphs or (with `oneParagraph`) all
// on one line.
QString writeText(const QTemporaryDir &folder, qsizetype bytes, bool oneParagraph)
{
    QString text = russianText(bytes);
    if (oneParagraph)
        text.replace(u'\n', u' ');
    const QString path = folder.filePath(oneParagraph ? u"одной строкой.txt"_s : u"абзацами.txt"_s);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
    return path;
}

int xdotool(const QProcessEnvironment &environment, const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(u"xdotool"_s, arguments);
    tool.waitForFinished(10000);
    return tool.exitCode();
}

// The program, started on the desktop with a text, its window shown and holding the keyboard.
class Program
{
public:
    // With `voice`, the identity of the voice chosen (the program's first Russian voice otherwise).
    Program(const QProcessEnvironment &desktop, const QString &textPath, const QByteArray &voice = {})
    {
        QFile settings(m_home.filePath(u"Settings.ini"_s));
        // No greeting and no hourly time: nothing else is heard.
        if (settings.open(QIODevice::WriteOnly))
            settings.write("[Global]\r\nGreeting=0\r\nTime=0\r\nRemText=0\r\n" +
                           (voice.isEmpty() ? QByteArray() : "EngineVoice=" + voice + "\r\n"));
        settings.close();
        QProcessEnvironment environment = desktop;
        environment.insert(u"VELMIRA_HOME"_s, m_home.path());
        m_environment = environment;
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(VELMIRA_PROGRAM), {textPath});
        QProcess search;
        search.setProcessEnvironment(environment);
        search.start(u"xdotool"_s, {u"search"_s, u"--sync"_s, u"--onlyvisible"_s, u"--name"_s, u"Вельмира 6.1"_s});
        if (!search.waitForFinished(30000) || search.exitCode() != 0) {
            PrivateDesktop::stop(search);
            return;
        }
        m_window = QString::fromUtf8(search.readAllStandardOutput()).split(u'\n').value(0).trimmed();
        m_shown = !m_window.isEmpty() &&
                  xdotool(environment, {u"windowfocus"_s, u"--sync"_s, m_window}) == 0;
    }

    bool isShown() const { return m_shown; }

    // Presses keys as the user does, on the window that has the keyboard.
    void press(const QString &keys) const { xdotool(m_environment, {u"key"_s, keys}); }
    // The same without waiting for the tool to end: what follows is timed from when it starts (it
    // presses all keys at once; the user's key goes down last).
    void startPressing(const QString &keys)
    {
        m_presser.waitForFinished(3000);
        m_presser.setProcessEnvironment(m_environment);
        m_presser.start(u"xdotool"_s, {u"key"_s, u"--delay"_s, u"0"_s, keys});
    }
    ~Program()
    {
        m_presser.waitForFinished(3000);
        PrivateDesktop::stop(m_process);
    }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    QProcess m_presser;
    QProcessEnvironment m_environment;
    QString m_window;
    bool m_shown = false;
};

PrivateDesktop *desktop = nullptr;

// First sound after Ctrl+Y, and silence after Ctrl+P, as heard; beside it espeak-ng's first sound
// reading the same file from its command line. Arguments: bytes of text, one paragraph (1) or many (0),
// and the voice: espeak-ng's Russian voice, the one its command line speaks with (1), or the program's
// first (0: RHVoice's Aleksandr where RHVoice is installed, a voice that needs more time for its first
// sound). The time runs from the start of the tool that presses the keys, which is more than the user
// waits.
void BM_FirstSoundHeard(benchmark::State &state)
{
    if (!desktop->isReady()) {
        state.SkipWithError("no private X server or sound server (Xvfb, pulseaudio)");
        return;
    }
    QTemporaryDir folder;
    const QString path = writeText(folder, state.range(0), state.range(1) != 0);
    Listener listener(desktop->environment());
    double theirs = 0;
    double pause = 0;
    int round = 0;
    for (auto _ : state) {
        double ours = 0;
        const bool ran = runInTurns(
            round,
            [&] {
                Program program(desktop->environment(), path, state.range(2) ? "espeak-ng:zle/ru" : "");
                if (!program.isShown()) {
                    state.SkipWithError("the program's window did not come");
                    return 0.0;
                }
                // The user looks at the text before reading it; the editor lays it out meanwhile. A
                // hand on the keyboard: the first key a program is given after it starts costs
                // Qt a few milliseconds (its compose table is read then), and the user's Ctrl goes
                // down a moment before the Y.
                QThread::msleep(1000);
                program.press(u"ctrl"_s);
                QThread::msleep(1000);
                listener.forget();
                QElapsedTimer clock;
                clock.start();
                program.startPressing(u"ctrl+y"_s);
                const std::optional<double> heard = listener.waitFor(clock, false);
                if (!heard) {
                    state.SkipWithError("the program was not heard");
                    return 0.0;
                }
                // Pause pressed while the voice is heard, not in a pause between its words.
                QThread::msleep(300);
                listener.forget();
                QElapsedTimer pauseClock;
                for (int tries = 0; tries < 50; ++tries) {
                    pauseClock.start();
                    if (listener.waitFor(pauseClock, false, 20))
                        break;
                }
                pauseClock.start();
                program.startPressing(u"ctrl+p"_s);
                pause += listener.waitFor(pauseClock, true).value_or(10000);
                return *heard / 1000;
            },
            [&] {
                QProcess espeak;
                QProcessEnvironment environment = desktop->environment();
                espeak.setProcessEnvironment(environment);
                listener.forget();
                QElapsedTimer clock;
                clock.start();
                espeak.start(u"espeak-ng"_s, {u"-v"_s, u"ru"_s, u"-s"_s, u"175"_s, u"-f"_s, path});
                const std::optional<double> heard = listener.waitFor(clock, false);
                PrivateDesktop::stop(espeak);
                theirs += heard.value_or(10000);
                return heard.has_value();
            },
            ours);
        if (!ran)
            state.SkipWithError("espeak-ng was not heard");
        state.SetIterationTime(ours);
    }
    state.counters["espeak_ng_ms"] = benchmark::Counter(theirs, benchmark::Counter::kAvgIterations);
    state.counters["pause_silent_ms"] = benchmark::Counter(pause, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FirstSoundHeard)
    ->Args({1000, 0, 1})
    ->Args({1000 * 1000, 1, 1})
    ->Args({1000 * 1000, 0, 1})
    ->Args({20 * 1000 * 1000, 0, 1})
    ->Args({1000, 0, 0})
    ->Args({1000 * 1000, 0, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

// From the start of the program with a long text named on its command line to its window shown, in
// the same run as a short text (the window shown at once whatever the text; a long text comes into it
// afterwards, read aside). Arguments: lines of a short word each (500,000 is 3.5 MB of text), or 0 for
// one line.
void BM_StartUntilShown(benchmark::State &state)
{
    if (!desktop->isReady()) {
        state.SkipWithError("no private X server or sound server (Xvfb, pulseaudio)");
        return;
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(u"строки.txt"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QString(u"строка\n"_s).repeated(std::max<qint64>(state.range(0), 1)).toUtf8()) < 0) {
        state.SkipWithError("cannot write the text");
        return;
    }
    file.close();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        Program program(desktop->environment(), path);
        if (!program.isShown()) {
            state.SkipWithError("the program's window did not come");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) * 1e-9);
    }
}
BENCHMARK(BM_StartUntilShown)
    ->Arg(0)
    ->Arg(100 * 1000)
    ->Arg(500 * 1000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    PrivateDesktop privateDesktop;
    desktop = &privateDesktop;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
