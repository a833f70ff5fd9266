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

// Asked before each write; true stops the work there.
using StopCheck = std::function<bool()>;

struct AspectFix {
    int error = 0;           // Windows error code of a failed read or write
    bool stopped = false;    // the stop check said so: the clip is partly fixed
    qint64 headersFound = 0; // real sequence headers met
    qint64 headersWidened = 0;
    bool done() const { return error == 0 && !stopped; }
};

// Streams through the clip with one buffer of bufferSize bytes and sets every
// real sequence header that says 4:3 to 16:9, changing those 4 bits and
// nothing else. A real header has the first header's width, height and frame
// rate code and its marker bit set; the same start code inside other data
// (audio, or a header that does not match) is left alone. Start codes that
// straddle two buffers are found. A clip already 16:9, or partly widened by
// an earlier run, ends fully widened.
AspectFix WidenClip(platform::UpdateFile& clip, const StopCheck& stop = {},
                    qint64 bufferSize = qint64(128) << 10);

} // namespace strovan
