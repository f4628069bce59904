#pragma once

#include <QByteArray>
#include <QtEndian>

#include <functional>

// A 16-bit PCM WAV file made in memory, its header saying what `h` says
// (which may be a lie, to test what reads it).
struct WavHeader {
    quint16 format = 1;
    quint16 channels = 1;
    quint32 rate = 16000;
    quint16 blockAlign = 2;
    quint16 bits = 16;
    quint32 claimedData = 0; // 0: the size of what follows
};

inline QByteArray wavBytes(const WavHeader &h, int frames,
                           const std::function<qint16(int frame, int channel)> &sample) {
    QByteArray out("RIFF\0\0\0\0WAVEfmt ", 16);
    const auto put16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    };
    const auto put32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    put32(16);
    put16(h.format);
    put16(h.channels);
    put32(h.rate);
    put32(h.rate * h.blockAlign);
    put16(h.blockAlign);
    put16(h.bits);
    out.append("data", 4);
    const int channels = h.channels > 0 ? h.channels : 1;
    put32(h.claimedData ? h.claimedData : static_cast<quint32>(frames * channels * 2));
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            put16(static_cast<quint16>(sample(f, c)));
    return out;
}
