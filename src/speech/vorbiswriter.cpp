// Writing speech to an Ogg Vorbis file with the Vorbis encoder.
#include "vorbiswriter.h"

#include "speechcontrol.h"

#include <QFile>
#include <QRandomGenerator>

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// The settings, chosen for speech. The Vorbis encoder has no speed setting: its time goes with the
// samples given (about 0.18 µs each, at any quality, low-pass or block bias), and at espeak-ng's
// 22,050 Hz it takes three to five times what the synthesis does, so a recording lasted that much longer
// than one in WAV. Speech is therefore encoded at 16 kHz, as Opus's is: everything up to 8 kHz is kept
// (0.4% of the energy of espeak-ng's Russian voice lies above it), and the encoder takes about 0.14 s of
// processor time a minute of speech against 0.19-0.29 s at 22,050 Hz. Lower rates were measured and
// refused: 8 kHz (the telephone's band) would have taken 0.09-0.12 s, but loses 3% of the energy, part
// of the hiss of с and ш, which the listeners to a book hear; 11,025 Hz loses 1.5% for 0.13 s.
// Checked against the WAV file of the same speech (the difference left after decoding and converting
// back, two minutes of espeak-ng's Russian voice): 20.8 dB segmental SNR for libsndfile's 22,050 Hz file
// at 53 kbit/s, 18.6 dB at 11,025 Hz, 17.9 dB at 8 kHz.
constexpr int SpeechRate = 16000;
// Variable bit rate at the encoder's quality 0.4, libsndfile's choice: better quality costs the encoder
// no more time, and this one gave 20.8 dB at 22,050 Hz.
constexpr float Quality = 0.4f;

// Samples handed to the encoder at a time.
constexpr qsizetype EncodeBlock = 4096;

} // namespace

struct VorbisWriter::Encoder
{
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state state{};
    vorbis_block block{};
    ogg_stream_state stream{};
    bool started = false;

    Encoder() { vorbis_info_init(&info); }
    ~Encoder()
    {
        if (started) {
            ogg_stream_clear(&stream);
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&state);
            vorbis_comment_clear(&comment);
        }
        vorbis_info_clear(&info);
    }
    Encoder(const Encoder &) = delete;
    Encoder &operator=(const Encoder &) = delete;

    // Sets the encoder up for mono at `sampleRate`; false when it does not take the rate.
    bool start(int sampleRate)
    {
        if (vorbis_encode_init_vbr(&info, 1, sampleRate, Quality) != 0)
            return false;
        vorbis_comment_init(&comment);
        vorbis_analysis_init(&state, &info);
        vorbis_block_init(&state, &block);
        ogg_stream_init(&stream, int(QRandomGenerator::global()->generate() & 0x7fffffff));
        started = true;
        return true;
    }
};

int VorbisWriter::vorbisRate(int sampleRate)
{
    return std::min(sampleRate, SpeechRate);
}

VorbisWriter::VorbisWriter(const QString &path, int sampleRate)
    : m_file(path), m_encoder(std::make_unique<Encoder>())
{
    Q_ASSERT(sampleRate > 0);
    const auto refuse = [&](const QString &reason) {
        m_encoder.reset();
        m_file.close();
        QFile::remove(path);
        throw SpeechError(
            u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, reason));
    };
    if (!m_encoder->start(sampleRate))
        refuse(u"кодировщик Vorbis не принял частоту %1 Гц"_s.arg(sampleRate));

    ogg_packet identification;
    ogg_packet comments;
    ogg_packet codebooks;
    vorbis_analysis_headerout(&m_encoder->state, &m_encoder->comment, &identification, &comments, &codebooks);
    // The identification header has a page of its own, the other two the next, and the sound begins
    // on a new one.
    ogg_stream_packetin(&m_encoder->stream, &identification);
    ogg_page page;
    bool written = true;
    while (written && ogg_stream_flush(&m_encoder->stream, &page))
        written = m_file.append(page.header, page.header_len) && m_file.append(page.body, page.body_len);
    ogg_stream_packetin(&m_encoder->stream, &comments);
    ogg_stream_packetin(&m_encoder->stream, &codebooks);
    while (written && ogg_stream_flush(&m_encoder->stream, &page))
        written = m_file.append(page.header, page.header_len) && m_file.append(page.body, page.body_len);
    if (!written)
        refuse(m_file.error());
}

VorbisWriter::~VorbisWriter()
{
    try {
        finish();
    } catch (const SpeechError &) {
        // The file is closed all the same and keeps the pages written before.
    }
}

void VorbisWriter::write(const qint16 *samples, qsizetype count)
{
    if (!m_file.isOpen())
        fail(u"файл уже закрыт"_s);
    while (count > 0) {
        const qsizetype take = std::min(count, EncodeBlock);
        float *to = vorbis_analysis_buffer(&m_encoder->state, int(take))[0];
        for (qsizetype i = 0; i < take; ++i)
            to[i] = float(samples[i]) * (1.0f / 32768.0f);
        vorbis_analysis_wrote(&m_encoder->state, int(take));
        encodeBlocks(false);
        samples += take;
        count -= take;
    }
}

void VorbisWriter::finish()
{
    if (!m_file.isOpen())
        return;
    // The encoder completes the last block with what it holds and gives the last packet the position
    // where the speech ends.
    vorbis_analysis_wrote(&m_encoder->state, 0);
    encodeBlocks(true);
    if (!m_file.close())
        throw m_file.writeError();
}

void VorbisWriter::encodeBlocks(bool end)
{
    Encoder &e = *m_encoder;
    while (vorbis_analysis_blockout(&e.state, &e.block) == 1) {
        if (vorbis_analysis(&e.block, nullptr) != 0 || vorbis_bitrate_addblock(&e.block) != 0)
            fail(u"ошибка кодировщика Vorbis"_s);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&e.state, &packet) == 1)
            ogg_stream_packetin(&e.stream, &packet);
    }
    ogg_page page;
    while (end ? ogg_stream_flush(&e.stream, &page) : ogg_stream_pageout(&e.stream, &page)) {
        if (!m_file.append(page.header, page.header_len) || !m_file.append(page.body, page.body_len))
            fail();
    }
}

void VorbisWriter::fail(const QString &reason)
{
    // Pages already written play; what the encoder still holds has nowhere to go.
    const SpeechError error = m_file.writeError(reason);
    m_file.close();
    throw error;
}

} // namespace velmira
