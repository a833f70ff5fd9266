#pragma once

#include <QByteArray>
#include <QList>

// Small camcorder files for tests: MPEG-2 program streams with video sequence
// headers and audio packets that carry the same start code, and .MOI index
// files.
struct StreamShape {
    int width = 720;
    int height = 576;
    int rate = 3;  // frame rate code: 25 images per second
    int shape = 2; // aspect_ratio_information: 2 = 4:3, 3 = 16:9
    int groups = 8;
};

struct TestStream {
    QByteArray bytes;
    QList<qint64> shapeBytes; // offsets of the real headers' shape/rate bytes
};

// A sequence header's first 12 bytes; the marker bit can be left clear.
QByteArray SequenceHeader(const StreamShape& shape, bool marker = true);

// A video elementary stream: per group, a sequence header, a group header
// and picture bytes without zeros. shapeBytes are offsets in the stream.
TestStream VideoStream(const StreamShape& shape = {});

// A program stream put together packet by packet, keeping the file offset
// of every byte of the video elementary stream it carries.
class StreamWriter {
public:
    void pack(bool mpeg1 = false, int stuffing = 0);
    void systemHeader(const QList<int>& streamIds);
    // A video PES packet carrying es[from, to).
    void video(const QByteArray& es, qsizetype from, qsizetype to, int id = 0xE0,
               bool mpeg1 = false);
    // Any other packet: a PES header for audio and private streams, none
    // for padding.
    void packet(int id, const QByteArray& payload);
    // Offsets in the file of the given offsets in the elementary stream.
    QList<qint64> inFile(const QList<qint64>& esOffsets) const;

    QByteArray bytes;

private:
    QList<qint64> m_esAt;
};

// Packs of video (a sequence header per group of pictures) and audio whose
// payload holds look-alike headers: another size, and the same size with the
// marker bit clear. The first pack is video.
TestStream MakeProgramStream(const StreamShape& shape = {});

// An index file: "V6", its size, the recording's start, the duration, and
// the shape byte at 0x80; size cuts it (the whole of it when negative).
QByteArray MakeClipIndex(int year, int month, int day, int hour, int minute, int milliseconds,
                         unsigned char shapeByte, int size = -1);
