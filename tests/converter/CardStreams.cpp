#include "CardStreams.h"

namespace {

void put16(QByteArray& b, int v) {
    b.append(char(v >> 8 & 0xFF)).append(char(v & 0xFF));
}

void put32(QByteArray& b, quint32 v) {
    put16(b, int(v >> 16));
    put16(b, int(v & 0xFFFF));
}

// Sequence header: start code, size, shape and rate, bit rate, marker, more.
QByteArray SequenceHeader(int width, int height, int shape, int rate, bool marker) {
    QByteArray h("\x00\x00\x01\xB3", 4);
    h.append(char(width >> 4)).append(char((width & 0xF) << 4 | height >> 8));
    h.append(char(height & 0xFF)).append(char(shape << 4 | rate));
    h.append("\x12\x34", 2).append(char(0x40 | (marker ? 0x20 : 0) | 0x10));
    h.append("\x00\x00\x00", 3);
    return h;
}

QByteArray Pes(unsigned char streamId, const QByteArray& payload) {
    QByteArray p("\x00\x00\x01", 3);
    p.append(char(streamId));
    put16(p, int(payload.size()));
    return p + payload;
}

QByteArray PackHeader() {
    return QByteArray("\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01\x01\x89\xC3\xF8", 14);
}

} // namespace

TestStream MakeProgramStream(const StreamShape& s) {
    TestStream stream;
    for (int g = 0; g < s.groups; ++g) {
        QByteArray video = QByteArray(3, char(0x80 + g)); // PES header bytes
        stream.bytes += PackHeader();
        // The shape byte sits 7 bytes after the start code, 6 after the PES head.
        stream.shapeBytes << stream.bytes.size() + 6 + video.size() + 7;
        video += SequenceHeader(s.width, s.height, s.shape, s.rate, true);
        video += QByteArray("\x00\x00\x01\xB8\x00\x08\x00\x00\x00\x00\x01\x00", 12);
        for (int i = 0; i < 200; ++i)
            video += char((g * 37 + i * 11) % 251 + 1); // picture data without zeros
        stream.bytes += Pes(0xE0, video);
        QByteArray audio = QByteArray("\xFF\xFD\x80", 3);
        audio += SequenceHeader(s.width + 16, s.height, 2, s.rate, true);
        audio += QByteArray(50, char(0x55));
        audio += SequenceHeader(s.width, s.height, 2, s.rate, false);
        audio += QByteArray(40, char(0x66));
        stream.bytes += PackHeader() + Pes(0xC0, audio);
    }
    stream.bytes += QByteArray("\x00\x00\x01\xB9", 4); // end of the program stream
    return stream;
}

QByteArray MakeClipIndex(int year, int month, int day, int hour, int minute, int milliseconds,
                         unsigned char shapeByte, int size) {
    QByteArray b("V6");
    put32(b, 0x100);
    put16(b, year);
    b.append(char(month)).append(char(day)).append(char(hour)).append(char(minute));
    put16(b, milliseconds);
    put32(b, 12000); // duration
    b += QByteArray(0x80 - b.size(), '\0');
    b.append(char(shapeByte));
    b += QByteArray(0x100 - b.size(), '\0');
    return size < 0 ? b : b.left(size);
}
