// Writing speech to a sound file, in the format its name asks for.
#include "soundwriter.h"

#include "backgroundwriter.h"
#include "mp3writer.h"
#include "opuswriter.h"
#include "resamplingwriter.h"
#include "sndfilewriter.h"
#include "vorbiswriter.h"
#include "wavwriter.h"

#include <QFileInfo>

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

constexpr std::array<std::pair<SoundFormat, QStringView>, 5> Extensions = {{
    {SoundFormat::Wav, u"wav"},
    {SoundFormat::Mp3, u"mp3"},
    {SoundFormat::OggVorbis, u"ogg"},
    {SoundFormat::Opus, u"opus"},
    {SoundFormat::Flac, u"flac"},
}};

} // namespace

std::optional<SoundFormat> soundFormatNamed(const QString &name)
{
    for (const auto &[format, extension] : Extensions) {
        if (name.compare(extension, Qt::CaseInsensitive) == 0)
            return format;
    }
    return std::nullopt;
}

std::optional<SoundFormat> soundFormatForPath(const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return std::nullopt;
    return soundFormatNamed(fileName.mid(dot + 1));
}

QString soundFormatExtension(SoundFormat format)
{
    for (const auto &[f, extension] : Extensions) {
        if (f == format)
            return u"."_s + extension.toString();
    }
    Q_UNREACHABLE();
    return {};
}

std::unique_ptr<SoundWriter> createSoundWriter(const QString &path, int sampleRate, SoundFormat format)
{
    // FLAC costs about as little as WAV; the lossy encoders cost more than a fast voice's synthesis
    // and run on a thread of their own beside it.
    switch (format) {
    case SoundFormat::Wav:
        return std::make_unique<WavWriter>(path, sampleRate);
    case SoundFormat::Flac:
        return std::make_unique<SndfileWriter>(path, sampleRate, format);
    case SoundFormat::Mp3:
        return std::make_unique<BackgroundSoundWriter>(std::make_unique<Mp3Writer>(path, sampleRate));
    case SoundFormat::OggVorbis:
    case SoundFormat::Opus:
        break;
    }
    // Vorbis and Opus encode speech at a rate of their own: speech at another is converted on the
    // caller's thread, which shares the work more evenly between the two.
    const int rate =
        format == SoundFormat::Opus ? OpusWriter::opusRate(sampleRate) : VorbisWriter::vorbisRate(sampleRate);
    std::unique_ptr<SoundWriter> encoder;
    if (format == SoundFormat::Opus)
        encoder = std::make_unique<OpusWriter>(path, rate);
    else
        encoder = std::make_unique<VorbisWriter>(path, rate);
    auto background = std::make_unique<BackgroundSoundWriter>(std::move(encoder));
    if (rate == sampleRate)
        return background;
    return std::make_unique<ResamplingSoundWriter>(std::move(background), sampleRate, rate);
}

} // namespace velmira
