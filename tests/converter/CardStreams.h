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

// Packs of video (a sequence header per group of pictures) and audio whose
// payload holds look-alike headers: another size, and the same size with the
// marker bit clear. The first pack is video.
TestStream MakeProgramStream(const StreamShape& shape = {});

// An index file: "V6", its size, the recording's start, the duration, and
// the shape byte at 0x80; size cuts it (the whole of it when negative).
QByteArray MakeClipIndex(int year, int month, int day, int hour, int minute, int milliseconds,
                         unsigned char shapeByte, int size = -1);
