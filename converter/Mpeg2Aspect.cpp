#include "converter/Mpeg2Aspect.h"

#include "platform/FileUpdate.h"

#include <cstring>
#include <vector>

namespace strovan {

namespace {

// Start code, width/height (3 bytes), shape/rate, bit rate (2 bytes), and
// the byte holding the marker bit: what it takes to tell a real header.
constexpr qint64 HeaderBytes = 11;
constexpr unsigned Standard = 2; // 4:3
constexpr unsigned Wide = 3;     // 16:9

struct Header {
    unsigned sizeBits = 0; // 24 bits: width and height
    unsigned shape = 0;
    unsigned rate = 0;
    bool marker = false;
};

Header ReadHeader(const unsigned char* p) {
    Header h;
    h.sizeBits = unsigned(p[4]) << 16 | unsigned(p[5]) << 8 | p[6];
    h.shape = p[7] >> 4;
    h.rate = p[7] & 0x0F;
    // 18 bits of bit rate: all of p[8] and p[9], the top two of p[10].
    h.marker = p[10] & 0x20;
    return h;
}

bool Plausible(const Header& h) {
    return h.marker && h.rate >= 1 && h.rate <= 8 && h.shape >= 1 && h.shape <= 4 &&
           (h.sizeBits >> 12) != 0 && (h.sizeBits & 0xFFF) != 0;
}

} // namespace

AspectFix WidenClip(platform::UpdateFile& clip, const StopCheck& stop, qint64 bufferSize) {
    AspectFix fix;
    bufferSize = qMax(bufferSize, HeaderBytes);
    // Room for the tail of the last buffer, whose headers could not be read whole.
    std::vector<unsigned char> buffer(size_t(bufferSize + HeaderBytes));
    unsigned char* const data = buffer.data();
    qint64 base = 0; // file offset of data[0]
    qint64 have = 0;
    bool haveFirst = false;
    Header first;
    for (;;) {
        const qint64 n =
            clip.readAt(base + have, reinterpret_cast<char*>(data + have), bufferSize, &fix.error);
        if (n < 0)
            return fix;
        have += n;
        const bool end = n == 0;
        // Start codes are looked for where a whole header fits; the rest waits.
        const qint64 limit = end ? have : qMax<qint64>(0, have - HeaderBytes + 1);
        // The last byte of the start code is the rare one: look for it.
        const qint64 searchEnd = qMin(limit + 3, have);
        qint64 q = 3;
        while (q < searchEnd) {
            const void* hit = std::memchr(data + q, 0xB3, size_t(searchEnd - q));
            if (!hit)
                break;
            const qint64 at = static_cast<const unsigned char*>(hit) - data - 3;
            q = at + 4;
            if (data[at] != 0 || data[at + 1] != 0 || data[at + 2] != 1 || at + HeaderBytes > have)
                continue;
            const Header h = ReadHeader(data + at);
            if (!haveFirst) {
                if (!Plausible(h))
                    continue;
                first = h;
                haveFirst = true;
            } else if (!h.marker || h.sizeBits != first.sizeBits || h.rate != first.rate) {
                continue;
            }
            ++fix.headersFound;
            if (h.shape != Standard)
                continue;
            if (stop && stop()) {
                fix.stopped = true;
                return fix;
            }
            const char shapeByte = char(Wide << 4 | h.rate);
            fix.error = clip.writeAt(base + at + 7, &shapeByte, 1);
            if (fix.error != 0)
                return fix;
            data[at + 7] = static_cast<unsigned char>(shapeByte);
            ++fix.headersWidened;
        }
        if (end)
            return fix;
        std::memmove(data, data + limit, size_t(have - limit));
        base += limit;
        have -= limit;
    }
}

} // namespace strovan
