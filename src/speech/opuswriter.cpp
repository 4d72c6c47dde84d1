// Writing speech to an Ogg Opus file with the Opus encoder.
#include "opuswriter.h"

#include "speechcontrol.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

#include <ogg/ogg.h>
#include <opus/opus.h>

#include <algorithm>
#include <array>
#include <cstring>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

// The settings, chosen for speech at 16 kHz (see opusRate()). Complexity 0 is the encoder's fast
// setting: at its default of 10 the encoder alone takes nearly twenty times what espeak-ng's synthesis
// does, at 0 about one and a half times, and a recording lasts as long as its encoding. The bit rate makes
// up for the simpler analysis, and the encoder's time grows with it. Checked against the WAV file of the
// same speech (the difference left after decoding, two minutes of espeak-ng's Russian voice): at 24 kHz,
// complexity 0 at 48 kbit/s came as close to it as complexity 10 did (16 dB segmental SNR), and closer
// than complexity 10 at 32 kbit/s (14 dB). At 16 kHz, 40 kbit/s (variable; 18 MB for a 100 KB text)
// comes as close as that (15.7 dB) in 0.068 s of processor time a minute of speech, against 0.079 s for
// 48 kbit/s at 24 kHz; 48 kbit/s comes closer (18.1 dB) in 0.073 s, 32 kbit/s less close (13.2 dB).
constexpr int BitRate = 40000;
constexpr int Complexity = 0;

// 20 ms frames, the size Opus is tuned for.
constexpr int FrameMilliseconds = 20;
// The most a packet of one mono frame takes, with room to spare.
constexpr size_t MaxPacketBytes = 4000;

void putLe16(unsigned char *to, quint16 value)
{
    qToLittleEndian(value, to);
}

void putLe32(unsigned char *to, quint32 value)
{
    qToLittleEndian(value, to);
}

} // namespace

struct OpusWriter::Stream
{
    ogg_stream_state state{};
    Stream() { ogg_stream_init(&state, int(QRandomGenerator::global()->generate() & 0x7fffffff)); }
    ~Stream() { ogg_stream_clear(&state); }
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;
};

int OpusWriter::opusRate(int sampleRate)
{
    // Speech at 16 kHz keeps its band to 8 kHz, all but 0.4% of espeak-ng's energy, and the encoder spends
    // its bits there: at the same bit rate it comes closer to the WAV file than at 24 kHz, in less time.
    constexpr std::array<int, 3> OpusRates = {8000, 12000, 16000};
    const auto rate = std::lower_bound(OpusRates.begin(), OpusRates.end(), sampleRate);
    return rate == OpusRates.end() ? OpusRates.back() : *rate;
}

OpusWriter::OpusWriter(const QString &path, int sampleRate)
    : m_file(path), m_stream(std::make_unique<Stream>()), m_frameSamples(sampleRate / 1000 * FrameMilliseconds),
      m_granuleScale(48000 / sampleRate), m_packet(MaxPacketBytes)
{
    Q_ASSERT(opusRate(sampleRate) == sampleRate);
    int error = OPUS_OK;
    m_encoder = opus_encoder_create(sampleRate, 1, OPUS_APPLICATION_AUDIO, &error);
    if (!m_encoder) {
        m_file.close();
        QFile::remove(path);
        throw SpeechError(u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, QString::fromLatin1(opus_strerror(error))));
    }
    opus_encoder_ctl(m_encoder, OPUS_SET_BITRATE(BitRate));
    opus_encoder_ctl(m_encoder, OPUS_SET_COMPLEXITY(Complexity));
    opus_int32 lookahead = 0;
    opus_encoder_ctl(m_encoder, OPUS_GET_LOOKAHEAD(&lookahead));
    // Players drop the encoder's delay from the start of the sound.
    m_preSkip = qint64(lookahead) * m_granuleScale;
    m_pending.reserve(size_t(m_frameSamples));

    std::array<unsigned char, 19> head{};
    std::memcpy(head.data(), "OpusHead", 8);
    head[8] = 1;                                  // version
    head[9] = 1;                                  // channels
    putLe16(head.data() + 10, quint16(m_preSkip));
    putLe32(head.data() + 12, quint32(sampleRate)); // the rate the sound was made at
    putLe16(head.data() + 16, 0);                 // output gain
    head[18] = 0;                                 // channel mapping: mono or stereo
    ogg_packet packet{};
    packet.packet = head.data();
    packet.bytes = long(head.size());
    packet.b_o_s = 1;
    packet.packetno = m_packetNumber++;
    ogg_stream_packetin(&m_stream->state, &packet);

    const char *vendor = opus_get_version_string();
    const auto vendorLength = quint32(std::strlen(vendor));
    std::vector<unsigned char> tags(8 + 4 + vendorLength + 4);
    std::memcpy(tags.data(), "OpusTags", 8);
    putLe32(tags.data() + 8, vendorLength);
    std::memcpy(tags.data() + 12, vendor, vendorLength);
    putLe32(tags.data() + 12 + vendorLength, 0); // no comments
    packet = ogg_packet{};
    packet.packet = tags.data();
    packet.bytes = long(tags.size());
    packet.packetno = m_packetNumber++;
    // The identification header has a page of its own, and the sound begins on a new one.
    ogg_page page;
    bool written = true;
    while (written && ogg_stream_flush(&m_stream->state, &page))
        written = m_file.append(page.header, page.header_len) && m_file.append(page.body, page.body_len);
    ogg_stream_packetin(&m_stream->state, &packet);
    while (written && ogg_stream_flush(&m_stream->state, &page))
        written = m_file.append(page.header, page.header_len) && m_file.append(page.body, page.body_len);
    if (!written) {
        const QString reason = m_file.error();
        opus_encoder_destroy(m_encoder);
        m_file.close();
        QFile::remove(path);
        throw SpeechError(u"Не удалось создать звуковой файл «%1»: %2"_s.arg(path, reason));
    }
}

OpusWriter::~OpusWriter()
{
    try {
        finish();
    } catch (const SpeechError &) {
        // The file is closed all the same and keeps the pages written before.
    }
    opus_encoder_destroy(m_encoder);
}

void OpusWriter::write(const qint16 *samples, qsizetype count)
{
    if (!m_file.isOpen())
        fail(u"файл уже закрыт"_s);
    m_samplesGiven += count;
    while (count > 0) {
        if (m_pending.empty() && count >= m_frameSamples) {
            encodeFrame(samples, false);
            samples += m_frameSamples;
            count -= m_frameSamples;
            continue;
        }
        const qsizetype take = std::min(count, qsizetype(m_frameSamples) - qsizetype(m_pending.size()));
        m_pending.insert(m_pending.end(), samples, samples + take);
        samples += take;
        count -= take;
        if (qsizetype(m_pending.size()) == m_frameSamples) {
            encodeFrame(m_pending.data(), false);
            m_pending.clear();
        }
    }
    writePages(false);
}

void OpusWriter::finish()
{
    if (!m_file.isOpen())
        return;
    // The encoder gives back its delay only after as many samples more: frames of silence follow
    // until the sound given is all in, and the last page says where it ends.
    const qint64 end = m_preSkip + m_samplesGiven * m_granuleScale;
    do {
        m_pending.resize(size_t(m_frameSamples), 0);
        const bool last = m_granule + qint64(m_frameSamples) * m_granuleScale >= end;
        encodeFrame(m_pending.data(), last);
        m_pending.clear();
    } while (m_granule < end);
    writePages(true);
    if (!m_file.close())
        throw m_file.writeError();
}

void OpusWriter::encodeFrame(const qint16 *frame, bool last)
{
    const opus_int32 bytes = opus_encode(m_encoder, frame, m_frameSamples, m_packet.data(), opus_int32(m_packet.size()));
    if (bytes < 0)
        fail(QString::fromLatin1(opus_strerror(bytes)));
    m_granule += qint64(m_frameSamples) * m_granuleScale;
    ogg_packet packet{};
    packet.packet = m_packet.data();
    packet.bytes = bytes;
    packet.packetno = m_packetNumber++;
    // The last packet's position is where the speech ends, short of the silence that fills its frame.
    packet.granulepos = last ? std::min(m_granule, m_preSkip + m_samplesGiven * m_granuleScale) : m_granule;
    packet.e_o_s = last ? 1 : 0;
    ogg_stream_packetin(&m_stream->state, &packet);
}

void OpusWriter::writePages(bool all)
{
    ogg_page page;
    while (all ? ogg_stream_flush(&m_stream->state, &page) : ogg_stream_pageout(&m_stream->state, &page)) {
        if (!m_file.append(page.header, page.header_len) || !m_file.append(page.body, page.body_len))
            fail();
    }
}

void OpusWriter::fail(const QString &reason)
{
    // Pages already written play; what the encoder still holds has nowhere to go.
    const SpeechError error = m_file.writeError(reason);
    m_file.close();
    throw error;
}

} // namespace velmira
