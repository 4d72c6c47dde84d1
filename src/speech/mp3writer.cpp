// Writing speech to an MP3 file with the LAME encoder.
#include "mp3writer.h"

#include "speechcontrol.h"

#include <QFile>

#include <lame/lame.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// The settings, chosen for speech: an average of 48 kbit/s (MPEG-2 layer III at espeak-ng's 22 kHz,
// mono; about 50 kbit/s on real speech, 20 MB for a 100 KB text, a quarter of its FLAC) keeps the whole
// band of a voice. The encoder runs beside the synthesis, and with a fast voice such as espeak-ng's its
// time is what a recording lasts, so it runs at its fast settings: quality 7 skips the search for the
// best noise shaping (the default quality 3 is two and a half times slower), and long blocks only save
// another third (short blocks keep the sharp attack of a drum from smearing; a voice has none such).
// Checked against the WAV file of the same speech (the difference left after decoding, a minute of
// espeak-ng's Russian voice): these settings come as close to it as the defaults do (21 dB segmental
// SNR against 20 dB at quality 3 with short blocks).
constexpr int BitRate = 48;
constexpr int Quality = 7;

// Samples encoded at a time, and the room LAME asks for them: 1.25 times the samples and 7200 bytes.
constexpr qsizetype EncodeBlock = 8192;
constexpr size_t OutputRoom = EncodeBlock * 5 / 4 + 7200;

} // namespace

Mp3Writer::Mp3Writer(const QString &path, int sampleRate) : m_file(path), m_out(OutputRoom)
{
    Q_ASSERT(sampleRate > 0);
    m_lame = lame_init();
    bool ready = m_lame != nullptr;
    if (ready) {
        lame_set_in_samplerate(m_lame, sampleRate);
        lame_set_num_channels(m_lame, 1);
        lame_set_mode(m_lame, MONO);
        // An average bit rate is a variable one, the only kind LAME writes the tag of the exact length for.
        lame_set_VBR(m_lame, vbr_abr);
        lame_set_VBR_mean_bitrate_kbps(m_lame, BitRate);
        lame_set_quality(m_lame, Quality);
        lame_set_no_short_blocks(m_lame, 1);
        lame_set_bWriteVbrTag(m_lame, 1);
        lame_set_write_id3tag_automatic(m_lame, 0);
        ready = lame_init_params(m_lame) >= 0;
    }
    if (!ready) {
        if (m_lame)
            lame_close(m_lame);
        m_file.close();
        QFile::remove(path);
        throw SpeechError(u"Не удалось создать звуковой файл «%1»: кодировщик MP3 не принял частоту %2 Гц"_s.arg(path).arg(sampleRate));
    }
}

Mp3Writer::~Mp3Writer()
{
    try {
        finish();
    } catch (const SpeechError &) {
        // The file is closed all the same and keeps the frames written before.
    }
    lame_close(m_lame);
}

void Mp3Writer::write(const qint16 *samples, qsizetype count)
{
    if (!m_file.isOpen())
        fail(u"файл уже закрыт"_s);
    while (count > 0) {
        const qsizetype take = std::min(count, EncodeBlock);
        // Mono: LAME reads the left channel only.
        put(lame_encode_buffer(m_lame, samples, samples, int(take), m_out.data(), int(m_out.size())));
        samples += take;
        count -= take;
    }
}

void Mp3Writer::finish()
{
    if (!m_file.isOpen())
        return;
    put(lame_encode_flush(m_lame, m_out.data(), int(m_out.size())));
    // The tag takes the place of the empty frame the encoder began the file with.
    const size_t tag = lame_get_lametag_frame(m_lame, m_out.data(), m_out.size());
    if (tag > 0 && tag <= m_out.size() && !m_file.writeAt(0, m_out.data(), qsizetype(tag)))
        fail();
    if (!m_file.close())
        throw m_file.writeError();
}

void Mp3Writer::put(int encoded)
{
    if (encoded < 0)
        fail(u"ошибка кодировщика MP3 (%1)"_s.arg(encoded));
    if (!m_file.append(m_out.data(), encoded))
        fail();
}

void Mp3Writer::fail(const QString &reason)
{
    // Frames already written play without the tag; the encoder's last ones have nowhere to go.
    const SpeechError error = m_file.writeError(reason);
    m_file.close();
    throw error;
}

} // namespace velmira
