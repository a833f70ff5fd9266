#include "CardStreams.h"

namespace {

void put16(QByteArray& b, int v) {
    b.append(char(v >> 8 & 0xFF)).append(char(v & 0xFF));
}

void put32(QByteArray& b, quint32 v) {
    put16(b, int(v >> 16));
    put16(b, int(v & 0xFFFF));
}

QByteArray StartCode(int id) {
    return QByteArray("\x00\x00\x01", 3).append(char(id));
}

// A time stamp as both PES forms write it: '0010', then 33 bits in 5 bytes.
const QByteArray Stamp("\x21\x00\x01\x00\x01", 5);

} // namespace

QByteArray SequenceHeader(const StreamShape& s, bool marker) {
    QByteArray h = StartCode(0xB3);
    h.append(char(s.width >> 4)).append(char((s.width & 0xF) << 4 | s.height >> 8));
    h.append(char(s.height & 0xFF)).append(char(s.shape << 4 | s.rate));
    h.append("\x12\x34", 2).append(char(0x40 | (marker ? 0x20 : 0) | 0x10));
    h.append('\0');
    return h;
}

TestStream VideoStream(const StreamShape& s) {
    TestStream es;
    for (int g = 0; g < s.groups; ++g) {
        es.shapeBytes << es.bytes.size() + 7;
        es.bytes += SequenceHeader(s);
        es.bytes += StartCode(0xB8) + QByteArray("\x00\x08\x00\x00", 4);
        es.bytes += StartCode(0x00) + QByteArray("\x00\x0F\xFF\xF8", 4);
        for (int i = 0; i < 200; ++i)
            es.bytes += char((g * 37 + i * 11) % 251 + 1); // picture data without zeros
    }
    return es;
}

void StreamWriter::pack(bool mpeg1, int stuffing) {
    bytes += StartCode(0xBA);
    if (mpeg1) {
        bytes += QByteArray("\x21\x00\x01\x00\x01\x80\x1B\x91", 8);
        return;
    }
    bytes += QByteArray("\x44\x00\x04\x00\x04\x01\x01\x89\xC3", 9);
    bytes += char(0xF8 | stuffing);
    bytes += QByteArray(stuffing, char(0xFF));
}

void StreamWriter::systemHeader(const QList<int>& streamIds) {
    QByteArray body("\x80\x1B\x91\x04\xE1\xFF", 6);
    for (const int id : streamIds)
        body.append(char(id)).append("\xE0\xE8", 2);
    bytes += StartCode(0xBB);
    put16(bytes, int(body.size()));
    bytes += body;
}

void StreamWriter::video(const QByteArray& es, qsizetype from, qsizetype to, int id, bool mpeg1) {
    // MPEG-1: stuffing, the decoder's buffer size, a time stamp; MPEG-2: its
    // flags and a header length that covers a time stamp and stuffing.
    const QByteArray head = mpeg1 ? QByteArray("\xFF\xFF\x60\xE8", 4) + Stamp
                                  : QByteArray("\x81\x80\x07", 3) + Stamp + "\xFF\xFF";
    bytes += StartCode(id);
    put16(bytes, int(head.size() + to - from));
    bytes += head;
    if (m_esAt.size() < es.size())
        m_esAt.resize(es.size(), -1);
    for (qsizetype i = from; i < to; ++i)
        m_esAt[i] = bytes.size() + (i - from);
    bytes += es.mid(from, to - from);
}

void StreamWriter::packet(int id, const QByteArray& payload) {
    const QByteArray head = id == 0xBE ? QByteArray() : QByteArray("\x81\x80\x05", 3) + Stamp;
    bytes += StartCode(id);
    put16(bytes, int(head.size() + payload.size()));
    bytes += head + payload;
}

QList<qint64> StreamWriter::inFile(const QList<qint64>& esOffsets) const {
    QList<qint64> at;
    for (const qint64 o : esOffsets)
        at << m_esAt.value(o, -1);
    return at;
}

TestStream MakeProgramStream(const StreamShape& s) {
    const TestStream es = VideoStream(s);
    StreamWriter w;
    const qsizetype group = es.bytes.size() / s.groups;
    for (int g = 0; g < s.groups; ++g) {
        w.pack();
        w.video(es.bytes, g * group, (g + 1) * group);
        StreamShape other = s;
        other.width += 16;
        QByteArray audio = QByteArray("\xFF\xFD\x80", 3) + SequenceHeader(other) +
                           QByteArray(50, char(0x55)) + SequenceHeader(s, false) +
                           QByteArray(40, char(0x66));
        w.pack();
        w.packet(0xC0, audio);
    }
    w.bytes += StartCode(0xB9); // end of the program stream
    return {w.bytes, w.inFile(es.shapeBytes)};
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
