#include "converter/Mpeg2Aspect.h"

#include "platform/FileUpdate.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <vector>

namespace strovan {

namespace {

// Start code, width/height (3 bytes), shape/rate, bit rate (2 bytes), and
// the byte holding the marker bit: what it takes to tell a real header.
constexpr qint64 HeaderBytes = 11;
constexpr unsigned Standard = 2;   // 4:3
constexpr unsigned Wide = 3;       // 16:9
constexpr int NotEnoughMemory = 8; // the Windows error code

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

// The first sequence start code (00 00 01 B3) beginning in [from, to), or -1;
// the 3 bytes after to are readable. Compressed pictures hold each byte value
// about as often as any other, so a search for one byte stops every few
// hundred bytes: 16 positions are tested at once where the processor can.
qint64 FindStartCode(const unsigned char* data, qint64 from, qint64 to) {
    qint64 p = from;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi8(1);
    const __m128i code = _mm_set1_epi8(char(0xB3));
    auto load = [data](qint64 i) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    };
    for (;;) {
        // "01 B3" comes once in 65,000 positions of compressed data: stretches
        // of 64 bytes without it pass with one branch, predicted right.
        while (p + 64 <= to) {
            auto pair = [&](qint64 i) {
                return _mm_and_si128(_mm_cmpeq_epi8(load(i + 2), one),
                                     _mm_cmpeq_epi8(load(i + 3), code));
            };
            const __m128i any = _mm_or_si128(_mm_or_si128(pair(p), pair(p + 16)),
                                             _mm_or_si128(pair(p + 32), pair(p + 48)));
            if (_mm_movemask_epi8(any) != 0)
                break;
            p += 64;
        }
        if (p + 16 > to)
            break;
        const __m128i match = _mm_and_si128(
            _mm_and_si128(_mm_cmpeq_epi8(load(p), zero), _mm_cmpeq_epi8(load(p + 1), zero)),
            _mm_and_si128(_mm_cmpeq_epi8(load(p + 2), one), _mm_cmpeq_epi8(load(p + 3), code)));
        if (const int mask = _mm_movemask_epi8(match))
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    for (; p < to; ++p) {
        const void* hit = std::memchr(data + p + 3, 0xB3, size_t(to - p));
        if (!hit)
            return -1;
        p = static_cast<const unsigned char*>(hit) - data - 3;
        if (data[p] == 0 && data[p + 1] == 0 && data[p + 2] == 1)
            return p;
    }
    return -1;
}

} // namespace

AspectFix WidenClip(platform::UpdateFile& clip, const StopCheck& stop, qint64 bufferSize) {
    AspectFix fix;
    bufferSize = qMax(bufferSize, HeaderBytes);
    // The reads land on a page boundary, where the kernel copies fastest; the
    // tail of the last buffer, whose headers could not be read whole, is
    // moved just before it.
    constexpr qint64 Page = 4096;
    // aligned_alloc wants a whole number of pages.
    const qint64 allocated = Page + (bufferSize + Page - 1) / Page * Page;
    const std::unique_ptr<unsigned char, decltype(&std::free)> buffer(
        static_cast<unsigned char*>(std::aligned_alloc(size_t(Page), size_t(allocated))),
        &std::free);
    if (!buffer) {
        fix.error = NotEnoughMemory;
        return fix;
    }
    unsigned char* const readArea = buffer.get() + Page;
    unsigned char* data = readArea; // the bytes not yet looked at
    qint64 base = 0;                // file offset of data[0]
    qint64 have = 0;
    bool haveFirst = false;
    Header first;
    for (;;) {
        const qint64 n =
            clip.readAt(base + have, reinterpret_cast<char*>(readArea), bufferSize, &fix.error);
        if (n < 0)
            return fix;
        have += n;
        const bool end = n == 0;
        // Start codes are looked for where a whole header fits; the rest waits.
        const qint64 limit = end ? have : qMax<qint64>(0, have - HeaderBytes + 1);
        const qint64 startEnd = qMin(limit, have - 3);
        for (qint64 at = FindStartCode(data, 0, startEnd); at >= 0;
             at = FindStartCode(data, at + 1, startEnd)) {
            if (at + HeaderBytes > have)
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
        const qint64 tail = have - limit;
        std::memmove(readArea - tail, data + limit, size_t(tail));
        data = readArea - tail;
        base += limit;
        have = tail;
    }
}

} // namespace strovan
