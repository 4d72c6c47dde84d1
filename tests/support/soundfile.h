// Reading back the sound files the program writes, whatever their format, through libsndfile.
#pragma once

#include <QFile>
#include <QString>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmira {

struct SoundFile
{
    int sampleRate = 0;
    int format = 0;
    qint64 frames = 0;
    int peak = 0;
    // Why the file cannot be read to its end; empty when it can.
    QString problem = QStringLiteral("not read");

    bool isValid() const { return problem.isEmpty(); }
    double seconds() const { return sampleRate ? double(frames) / sampleRate : 0; }

    static SoundFile read(const QString &path)
    {
        SoundFile sound;
        SF_INFO info{};
        SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
        if (!file) {
            sound.problem = QString::fromLocal8Bit(sf_strerror(nullptr));
            return sound;
        }
        sound.sampleRate = info.samplerate;
        sound.format = info.format;
        std::vector<short> buffer(4096 * size_t(std::max(info.channels, 1)));
        sf_count_t got = 0;
        while ((got = sf_readf_short(file, buffer.data(), 4096)) > 0) {
            sound.frames += got;
            for (sf_count_t i = 0; i < got * info.channels; ++i)
                sound.peak = std::max(sound.peak, std::abs(int(buffer[size_t(i)])));
        }
        sound.problem = sf_error(file) ? QString::fromLocal8Bit(sf_strerror(file)) : QString();
        sf_close(file);
        return sound;
    }
};

} // namespace velmira
