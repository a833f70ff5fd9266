#pragma once

#include <QtGlobal>

#include <functional>

namespace platform {
class UpdateFile;
}

// The picture shape an MPEG-2 clip tells its players: the 4 bits of
// aspect_ratio_information in each video sequence header
// (00 00 01 B3, 12 bits width, 12 bits height, 4 bits shape, 4 bits frame
// rate code, 18 bits bit rate, a marker bit always set).
namespace strovan {

// The Windows code for invalid data: the clip is no program stream.
constexpr int ErrNotProgramStream = 13;

// Asked before each write; true stops the work there.
using StopCheck = std::function<bool()>;

struct AspectFix {
    int error = 0;           // Windows error code of a failed read or write, or
                             // ErrNotProgramStream (the clip is left unchanged)
    bool stopped = false;    // the stop check said so: the clip is partly fixed
    qint64 headersFound = 0; // real sequence headers met
    qint64 headersWidened = 0;
    bool done() const { return error == 0 && !stopped; }
};

// Streams through the clip with one buffer of bufferSize bytes and sets every
// real sequence header that says 4:3 to 16:9, changing those 4 bits and
// nothing else. The headers are those of the video elementary stream that a
// player reads out of the program stream's packets, wherever the packets cut
// them; bytes of audio, padding and private streams are never touched. A
// real header has the first header's width, height and frame rate code and
// its marker bit set. A clip already 16:9, or partly widened by an earlier
// run, ends fully widened. A clip that is no program stream is left as it is.
AspectFix WidenClip(platform::UpdateFile& clip, const StopCheck& stop = {},
                    qint64 bufferSize = qint64(128) << 10);

} // namespace strovan
