// Reading back the WAV files the program writes, strictly: the header must describe the file exactly.
#pragma once

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace velmira {

using namespace Qt::StringLiterals;

struct WavFile
{
    int sampleRate = 0;
    QList<qint16> samples;
    // Why the file is not a valid 16-bit mono PCM WAV file; empty when it is.
    QString problem = u"not read"_s;

    bool isValid() const { return problem.isEmpty(); }
    double seconds() const { return sampleRate ? double(samples.size()) / sampleRate : 0; }

    int peak() const
    {
        int p = 0;
        for (qint16 s : samples)
            p = std::max(p, std::abs(int(s)));
        return p;
    }

    static WavFile read(const QString &path)
    {
        WavFile wav;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            wav.problem = u"cannot open"_s;
            return wav;
        }
        const QByteArray bytes = file.readAll();
        const char *d = bytes.constData();
        auto le32 = [d](int at) { return qFromLittleEndian<quint32>(d + at); };
        auto le16 = [d](int at) { return qFromLittleEndian<quint16>(d + at); };
        if (bytes.size() < 44)
            wav.problem = u"shorter than a header"_s;
        else if (bytes.left(4) != "RIFF" || bytes.mid(8, 8) != "WAVEfmt " || bytes.mid(36, 4) != "data")
            wav.problem = u"not a RIFF/WAVE header"_s;
        else if (le32(4) != quint32(bytes.size() - 8))
            wav.problem = u"RIFF size %1 for a file of %2 bytes"_s.arg(le32(4)).arg(bytes.size());
        else if (le32(40) != quint32(bytes.size() - 44))
            wav.problem = u"data size %1 for a file of %2 bytes"_s.arg(le32(40)).arg(bytes.size());
        else if (le32(16) != 16 || le16(20) != 1 || le16(22) != 1 || le16(34) != 16 || le16(32) != 2
                 || le32(28) != le32(24) * 2)
            wav.problem = u"not 16-bit mono PCM"_s;
        else
            wav.problem.clear();
        if (!wav.isValid())
            return wav;
        wav.sampleRate = int(le32(24));
        const qsizetype count = (bytes.size() - 44) / 2;
        wav.samples.resize(count);
        for (qsizetype i = 0; i < count; ++i)
            wav.samples[i] = qFromLittleEndian<qint16>(d + 44 + 2 * i);
        return wav;
    }
};

} // namespace velmira
