// RHVoice, the natural Russian voices, as one of the synthesisers of the synthesis thread.
#include "rhvoiceengine.h"

#include "speechcontrol.h"

#include <RHVoice.h>
#include <samplerate.h>

#include <QLibrary>
#include <QThread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <type_traits>
#include <utility>

using namespace Qt::StringLiterals;

namespace velmira {

// RHVoice's library, looked for when the program runs, so that the program starts and speaks with
// espeak-ng alone on a desktop where RHVoice is not installed (or was removed).
struct RhvoiceEngine::Library
{
    decltype(&RHVoice_new_tts_engine) newEngine = nullptr;
    decltype(&RHVoice_delete_tts_engine) deleteEngine = nullptr;
    decltype(&RHVoice_get_number_of_voices) voiceCount = nullptr;
    decltype(&RHVoice_get_voices) voices = nullptr;
    decltype(&RHVoice_new_message) newMessage = nullptr;
    decltype(&RHVoice_delete_message) deleteMessage = nullptr;
    decltype(&RHVoice_speak) speak = nullptr;
};

namespace {

using Library = RhvoiceEngine::Library;

// The library, loaded once for the life of the process; null when it is not installed.
const Library *library()
{
    static const std::optional<Library> loaded = []() -> std::optional<Library> {
        // Debian's librhvoice5, or a library of another version under the name without one.
        QLibrary lib(u"RHVoice"_s, 5);
        if (!lib.load()) {
            lib.setFileName(u"RHVoice"_s);
            if (!lib.load())
                return std::nullopt;
        }
        Library l;
        const auto resolve = [&lib](auto &function, const char *name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(lib.resolve(name));
            return function != nullptr;
        };
        if (!resolve(l.newEngine, "RHVoice_new_tts_engine") || !resolve(l.deleteEngine, "RHVoice_delete_tts_engine") ||
            !resolve(l.voiceCount, "RHVoice_get_number_of_voices") || !resolve(l.voices, "RHVoice_get_voices") ||
            !resolve(l.newMessage, "RHVoice_new_message") || !resolve(l.deleteMessage, "RHVoice_delete_message") ||
            !resolve(l.speak, "RHVoice_speak"))
            return std::nullopt;
        return l;
    }();
    return loaded ? &*loaded : nullptr;
}

// The names Russian listeners know the voices by.
QString russianName(const QByteArray &identifier)
{
    static const QHash<QByteArray, QString> names = {
        {"aleksandr", u"Александр"_s},  {"aleksandr-hq", u"Александр HQ"_s}, {"anna", u"Анна"_s},
        {"arina", u"Арина"_s},          {"artemiy", u"Артемий"_s},         {"elena", u"Елена"_s},
        {"evgeniy-rus", u"Евгений"_s},  {"irina", u"Ирина"_s},             {"mikhail", u"Михаил"_s},
        {"pavel", u"Павел"_s},          {"tatiana", u"Татьяна"_s},         {"victoria", u"Виктория"_s},
        {"vitaliy", u"Виталий"_s},      {"yuriy", u"Юрий"_s},
    };
    return names.value(identifier.toLower(), QString::fromUtf8(identifier));
}

// Words a minute of Russian prose (pauses between sentences included) that espeak-ng speaks at
// the rates of the program's speed bar, and that each RHVoice voice speaks at its own pace, as
// measured on the same text.
struct Pace
{
    int rate;
    double wordsPerMinute;
};
constexpr std::array<Pace, 11> EspeakPace = {{{80, 87.0},
                                             {100, 97.0},
                                             {125, 117.3},
                                             {150, 136.8},
                                             {175, 156.2},
                                             {200, 175.3},
                                             {250, 208.4},
                                             {300, 232.3},
                                             {350, 257.5},
                                             {400, 287.9},
                                             {450, 384.3}}};

double voicePace(const QByteArray &identifier)
{
    static const QHash<QByteArray, double> pace = {
        {"aleksandr", 116.7}, {"aleksandr-hq", 123.5}, {"anna", 163.5},    {"arina", 143.3},
        {"artemiy", 172.8},   {"elena", 151.2},        {"evgeniy-rus", 128.9}, {"irina", 138.5},
        {"mikhail", 154.1},   {"pavel", 124.7},        {"tatiana", 154.0}, {"victoria", 145.0},
        {"vitaliy", 145.0},   {"yuriy", 135.0},
    };
    // A voice not measured here is taken to speak at the voices' usual pace.
    return pace.value(identifier.toLower(), 140.0);
}

double espeakWordsPerMinute(int rate)
{
    if (rate <= EspeakPace.front().rate)
        return EspeakPace.front().wordsPerMinute;
    for (size_t i = 1; i < EspeakPace.size(); ++i) {
        const Pace &low = EspeakPace[i - 1];
        const Pace &high = EspeakPace[i];
        if (rate <= high.rate)
            return low.wordsPerMinute + (high.wordsPerMinute - low.wordsPerMinute) * (rate - low.rate) / (high.rate - low.rate);
    }
    return EspeakPace.back().wordsPerMinute;
}

QString voiceFailure(const QByteArray &identifier)
{
    return u"Голос «%1» синтезатора RHVoice не может говорить: его данные не найдены или повреждены. "
           u"Выберите другой голос или переустановите голоса RHVoice."_s.arg(russianName(identifier));
}

} // namespace

double rhvoiceRate(const QByteArray &identifier, int rate)
{
    // RHVoice's absolute rate runs from half the voice's pace (-1) through its own (0) to twice it (1).
    const double factor = espeakWordsPerMinute(rate) / voicePace(identifier);
    const double absolute = factor >= 1 ? factor - 1 : 2 * (factor - 1);
    return std::clamp(absolute, -1.0, 1.0);
}

double rhvoicePitch(int pitch)
{
    // How much higher or lower than its own pitch (that at 50) espeak-ng speaks at the positions of
    // the pitch bar, as measured; RHVoice's voice is moved as much from its own.
    static constexpr std::array<std::pair<int, double>, 5> EspeakPitch = {
        {{0, 0.731}, {25, 0.827}, {50, 1.0}, {75, 1.279}, {100, 1.654}}};
    const int at = std::clamp(pitch, 0, 100);
    double factor = 1;
    for (size_t i = 1; i < EspeakPitch.size(); ++i) {
        const auto [lowAt, low] = EspeakPitch[i - 1];
        const auto [highAt, high] = EspeakPitch[i];
        if (at <= highAt) {
            factor = low + (high - low) * (at - lowAt) / (highAt - lowAt);
            break;
        }
    }
    // RHVoice's absolute pitch runs from half the voice's own (-1) to twice it (1).
    return std::clamp(factor >= 1 ? factor - 1 : 2 * (factor - 1), -1.0, 1.0);
}

// The piece being spoken, handed to RHVoice's callbacks as their user data.
struct RhvoiceEngine::Piece
{
    PieceSink *sink = nullptr;
    SRC_STATE *resampler = nullptr;
    int outputRate = 0;
    double ratio = 1;
    bool stopped = false;
    // The UTF-16 offset in the piece of every byte of its UTF-8 form, which RHVoice counts in.
    std::vector<qsizetype> utf16At;
    // Words reported whose sound has not been handed on yet.
    std::vector<EngineWord> words;
    qint64 inputSamples = 0;
    qint64 outputSamples = 0;
    std::vector<float> in;
    std::vector<float> out;
    std::vector<qint16> samples;

    void hand(const qint16 *data, qint64 count, bool last)
    {
        if (stopped)
            return;
        // Words are handed on with the sound they start in.
        const auto due = last ? words.end() : std::find_if(words.begin(), words.end(), [&](const EngineWord &w) {
            return w.sample >= outputSamples + count;
        });
        const std::vector<EngineWord> now(words.begin(), due);
        words.erase(words.begin(), due);
        outputSamples += count;
        if (!sink->deliver(data, count, now))
            stopped = true;
    }

    // Resamples and hands on `count` samples of RHVoice's speech; with `last`, the rest it holds.
    void play(const short *data, qint64 count, bool last)
    {
        if (!resampler) {
            hand(data, count, last);
            return;
        }
        in.assign(size_t(count), 0.0f);
        if (count > 0)
            src_short_to_float_array(data, in.data(), int(count));
        out.resize(size_t(std::ceil(double(count) * ratio)) + 1024);
        SRC_DATA step{};
        step.data_in = in.data();
        step.input_frames = long(count);
        step.src_ratio = ratio;
        step.end_of_input = last ? 1 : 0;
        for (;;) {
            step.data_out = out.data();
            step.output_frames = long(out.size());
            if (src_process(resampler, &step) != 0)
                break;
            samples.resize(size_t(step.output_frames_gen));
            if (step.output_frames_gen > 0)
                src_float_to_short_array(out.data(), samples.data(), int(step.output_frames_gen));
            const bool drained = step.input_frames_used >= step.input_frames && (!last || step.output_frames_gen == 0);
            hand(samples.data(), step.output_frames_gen, last && drained);
            if (drained || stopped)
                break;
            step.data_in += step.input_frames_used;
            step.input_frames -= step.input_frames_used;
        }
    }
};

namespace {

RhvoiceEngine::Piece &pieceOf(void *data)
{
    return *static_cast<RhvoiceEngine::Piece *>(data);
}

int setSampleRate(int rate, void *data)
{
    RhvoiceEngine::Piece &p = pieceOf(data);
    if (rate <= 0)
        return 0;
    p.ratio = double(p.outputRate) / rate;
    if (rate == p.outputRate || !src_is_valid_ratio(p.ratio)) {
        p.ratio = 1;
        return rate == p.outputRate ? 1 : 0;
    }
    int error = 0;
    if (!p.resampler)
        p.resampler = src_new(SRC_SINC_FASTEST, 1, &error);
    return p.resampler ? 1 : 0;
}

int playSpeech(const short *samples, unsigned int count, void *data)
{
    RhvoiceEngine::Piece &p = pieceOf(data);
    p.inputSamples += count;
    p.play(samples, qint64(count), false);
    return p.stopped ? 0 : 1;
}

int wordStarts(unsigned int position, unsigned int, void *data)
{
    RhvoiceEngine::Piece &p = pieceOf(data);
    const size_t at = std::min<size_t>(position, p.utf16At.size() - 1);
    p.words.push_back({p.utf16At[at], qint64(std::llround(double(p.inputSamples) * p.ratio))});
    return p.stopped ? 0 : 1;
}

// Takes a voice's speech and throws it away.
class DiscardingSink : public PieceSink
{
public:
    bool deliver(const qint16 *, qint64, std::span<const EngineWord>) override { return true; }
};

// Set in the environment of a copy of this program started to try out one voice: the voice, the
// sample rate and RHVoice's data and configuration folders, one per line, percent-encoded.
constexpr char VoiceTrialVariable[] = "VELMIRA_RHVOICE_TRIAL";

// A copy of the program started to try out a voice does that before anything else runs, and ends.
[[gnu::constructor]] void answerVoiceTrial()
{
    const char *request = std::getenv(VoiceTrialVariable);
    if (request)
        _exit(RhvoiceEngine::tryVoice(QByteArray(request)));
}

} // namespace

int RhvoiceEngine::tryVoice(const QByteArray &request)
{
    const QList<QByteArray> fields = request.split('\n');
    if (fields.size() != 4)
        return 2;
    // A crash is the answer here, not something to report or trace.
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        std::signal(sig, SIG_DFL);
    // RHVoice exits on a missing file; that exit must not read as success.
    std::atexit([] { _exit(1); });
    try {
        RhvoiceEngine engine(QString::fromUtf8(QByteArray::fromPercentEncoding(fields[2])),
                             QString::fromUtf8(QByteArray::fromPercentEncoding(fields[3])));
        DiscardingSink sink;
        const QString failure = engine.speak(QByteArray::fromPercentEncoding(fields[0]), 0, 50, u"Да."_s,
                                             fields[1].toInt(), sink);
        return failure.isEmpty() ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

bool RhvoiceEngine::speaksSafely(const QByteArray &identifier, int sampleRate)
{
    // RHVoice loads a voice's data when the voice first speaks, and a voice whose files are missing
    // or damaged ends the process there (it exits, or crashes on the bad data). So a voice first
    // speaks a word in a fresh copy of this program. Not a forked one: a fork of a process with
    // threads may hang on a lock another thread held at that moment.
    const QByteArray request = identifier.toPercentEncoding() + '\n' + QByteArray::number(sampleRate) + '\n' +
                               m_dataPath.toUtf8().toPercentEncoding() + '\n' +
                               m_configPath.toUtf8().toPercentEncoding();
    std::vector<QByteArray> environment;
    const QByteArray prefix = QByteArray(VoiceTrialVariable) + '=';
    for (char **variable = environ; *variable; ++variable) {
        if (!QByteArray(*variable).startsWith(prefix))
            environment.emplace_back(*variable);
    }
    environment.push_back(prefix + request);
    std::vector<char *> envp;
    for (QByteArray &variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    char program[] = "/proc/self/exe";
    char name[] = "velmira-voice-trial";
    char *argv[] = {name, nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return true; // no way to find out: the voice is taken as it is

    int status = 0;
    // Loading a voice takes a fraction of a second; a trial that hangs is as bad as one that crashes.
    for (int waited = 0;; waited += 5) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            break;
        if (done < 0)
            return false;
        if (waited >= 20000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        QThread::msleep(5);
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

RhvoiceEngine::RhvoiceEngine(const QString &dataPath, const QString &configPath)
    : m_dataPath(dataPath)
    , m_configPath(configPath)
{
    const QByteArray data = dataPath.toUtf8();
    const QByteArray config = configPath.toUtf8();
    RHVoice_init_params params{};
    params.data_path = data.isEmpty() ? nullptr : data.constData();
    params.config_path = config.isEmpty() ? nullptr : config.constData();
    params.callbacks.set_sample_rate = setSampleRate;
    params.callbacks.play_speech = playSpeech;
    params.callbacks.word_starts = wordStarts;
    m_library = library();
    if (!m_library)
        throw SpeechError(u"Синтезатор речи RHVoice не установлен."_s);
    m_engine = m_library->newEngine(&params);
    if (!m_engine)
        throw SpeechError(u"Не удалось запустить синтезатор речи RHVoice."_s);

    const RHVoice_voice_info *info = m_library->voices(m_engine);
    const unsigned count = m_library->voiceCount(m_engine);
    for (unsigned i = 0; info && i < count; ++i) {
        if (!info[i].name)
            continue;
        const QByteArray identifier(info[i].name);
        m_voices.append({u"RHVoice"_s, identifier, QByteArray(info[i].language ? info[i].language : "").toLower(),
                         russianName(identifier)});
    }
    if (m_voices.isEmpty()) {
        m_library->deleteEngine(m_engine);
        throw SpeechError(u"Синтезатор речи RHVoice не нашёл ни одного голоса."_s);
    }
}

RhvoiceEngine::~RhvoiceEngine()
{
    if (m_resampler)
        src_delete(m_resampler);
    m_library->deleteEngine(m_engine);
}

QList<Voice> RhvoiceEngine::voices() const
{
    return m_voices;
}

QString RhvoiceEngine::synthesise(const PieceVoice &voice, QStringView piece, bool, int sampleRate, PieceSink &sink)
{
    const bool known = std::any_of(m_voices.begin(), m_voices.end(), [&](const Voice &v) { return v.identifier == voice.identifier; });
    if (!known)
        return voiceFailure(voice.identifier);
    auto checked = m_checked.constFind(voice.identifier);
    if (checked == m_checked.cend())
        checked = m_checked.insert(voice.identifier, speaksSafely(voice.identifier, sampleRate));
    if (!*checked)
        return voiceFailure(voice.identifier);
    return speak(voice.identifier, voice.rate, voice.pitch, piece, sampleRate, sink);
}

void RhvoiceEngine::prepare(const QByteArray &identifier, int sampleRate)
{
    if (m_checked.contains(identifier))
        return;
    const bool sound = speaksSafely(identifier, sampleRate);
    m_checked.insert(identifier, sound);
    DiscardingSink sink;
    if (sound)
        speak(identifier, 175, 50, u"А."_s, sampleRate, sink);
}

QString RhvoiceEngine::speak(const QByteArray &identifier, int rate, int pitch, QStringView piece, int sampleRate,
                             PieceSink &sink)
{
    const QByteArray text = piece.toUtf8();
    Piece p;
    p.sink = &sink;
    p.outputRate = sampleRate;
    p.resampler = m_resampler;
    if (p.resampler)
        src_reset(p.resampler);
    p.utf16At.reserve(size_t(text.size()) + 1);
    for (qsizetype i = 0; i < piece.size();) {
        const bool pair = piece[i].isHighSurrogate() && i + 1 < piece.size() && piece[i + 1].isLowSurrogate();
        const char16_t unit = piece[i].unicode();
        // A lone surrogate goes out as a three-byte replacement character.
        const int bytes = pair ? 4 : unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        p.utf16At.insert(p.utf16At.end(), size_t(bytes), i);
        i += pair ? 2 : 1;
    }
    p.utf16At.resize(size_t(text.size()), piece.size());
    p.utf16At.push_back(piece.size());

    RHVoice_synth_params params{};
    params.voice_profile = identifier.constData();
    params.absolute_rate = rhvoiceRate(identifier, rate);
    params.absolute_pitch = rhvoicePitch(pitch);
    params.absolute_volume = 0;
    params.relative_rate = 1;
    params.relative_pitch = 1;
    params.relative_volume = 1;
    params.punctuation_mode = RHVoice_punctuation_default;
    params.capitals_mode = RHVoice_capitals_default;

    RHVoice_message message = m_library->newMessage(m_engine, text.constData(), unsigned(text.size()), RHVoice_message_text, &params, &p);
    if (!message)
        return voiceFailure(identifier);
    const int spoken = m_library->speak(message);
    m_library->deleteMessage(message);
    // The resampler is made on first use and kept for the next pieces.
    m_resampler = p.resampler;
    if (!spoken && !p.stopped)
        return voiceFailure(identifier);
    if (p.resampler)
        p.play(nullptr, 0, true);
    else
        p.hand(nullptr, 0, true);
    return {};
}

} // namespace velmira
