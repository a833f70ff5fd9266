#include "converter/Mpeg2Aspect.h"

#include "converter/ProgramStream.h"
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

// The video elementary stream as a player reads it, PES packet by PES
// packet: every sequence header in it, wherever the packets cut it, is
// judged on its own bytes and widened at the file offset where its shape
// byte lies.
class HeaderScan : public ProgramStream::Sink {
public:
    HeaderScan(platform::UpdateFile& clip, const StopCheck& stop, AspectFix& fix)
        : m_clip(clip), m_stop(stop), m_fix(fix) {}

    bool videoBytes(qint64 offset, const unsigned char* data, qint64 size) override {
        if (m_tailSize > 0 && !joinTail(offset, data, size))
            return false;
        // Headers lying wholly in this piece.
        const qint64 whole = size - HeaderBytes + 1;
        for (qint64 at = FindStartCode(data, 0, whole); at >= 0;
             at = FindStartCode(data, at + 1, whole))
            if (!judge(data + at, offset + at + ShapeAt))
                return false;
        // The last bytes may begin a header that the next piece ends.
        if (size >= Carried) {
            keepTail(offset + size - Carried, data + size - Carried, Carried);
        } else if (m_tailSize == 0) {
            keepTail(offset, data, size);
        }
        return true;
    }

    void videoGap() override { m_tailSize = 0; }

private:
    static constexpr int ShapeAt = 7; // the shape byte's place in a header
    static constexpr int Carried = int(HeaderBytes) - 1;

    // Headers that begin in the carried bytes, read on into this piece.
    bool joinTail(qint64 offset, const unsigned char* data, qint64 size) {
        const int from = m_tailSize;
        const int added = int(qMin<qint64>(size, Carried));
        for (int k = 0; k < added; ++k) {
            m_tail[from + k] = data[k];
            m_tailAt[from + k] = offset + k;
        }
        const int joined = from + added;
        for (int at = 0; at < from && at + HeaderBytes <= joined; ++at)
            if (m_tail[at] == 0 && m_tail[at + 1] == 0 && m_tail[at + 2] == 1 &&
                m_tail[at + 3] == 0xB3 && !judge(m_tail + at, m_tailAt[at + ShapeAt]))
                return false;
        if (size < Carried) {
            // Too short to end them all: what could still begin one is kept.
            const int keep = qMin(joined, Carried);
            std::memmove(m_tail, m_tail + joined - keep, size_t(keep));
            std::memmove(m_tailAt, m_tailAt + joined - keep, size_t(keep) * sizeof(qint64));
            m_tailSize = keep;
        }
        return true;
    }

    void keepTail(qint64 offset, const unsigned char* data, qint64 size) {
        // A header begins with a zero byte: bytes before the first zero
        // cannot begin one, and mostly there is none.
        const void* zero = std::memchr(data, 0, size_t(size));
        const qint64 from = zero ? static_cast<const unsigned char*>(zero) - data : size;
        offset += from;
        data += from;
        size -= from;
        for (qint64 k = 0; k < size; ++k) {
            m_tail[k] = data[k];
            m_tailAt[k] = offset + k;
        }
        m_tailSize = int(size);
    }

    // One sequence header's first HeaderBytes bytes; shapeAt is the file
    // offset of its shape byte. False stops the work.
    bool judge(const unsigned char* bytes, qint64 shapeAt) {
        const Header h = ReadHeader(bytes);
        if (!m_haveFirst) {
            if (!Plausible(h))
                return true;
            m_first = h;
            m_haveFirst = true;
        } else if (!h.marker || h.sizeBits != m_first.sizeBits || h.rate != m_first.rate) {
            return true;
        }
        ++m_fix.headersFound;
        if (h.shape != Standard)
            return true;
        if (m_stop && m_stop()) {
            m_fix.stopped = true;
            return false;
        }
        const char shapeByte = char(Wide << 4 | h.rate);
        m_fix.error = m_clip.writeAt(shapeAt, &shapeByte, 1);
        if (m_fix.error != 0)
            return false;
        ++m_fix.headersWidened;
        return true;
    }

    platform::UpdateFile& m_clip;
    const StopCheck& m_stop;
    AspectFix& m_fix;
    bool m_haveFirst = false;
    Header m_first;
    // The last bytes of the elementary stream so far, where a header may
    // begin, with the file offset of each (a cut can fall anywhere).
    unsigned char m_tail[2 * Carried]{};
    qint64 m_tailAt[2 * Carried]{};
    int m_tailSize = 0;
};

} // namespace

AspectFix WidenClip(platform::UpdateFile& clip, const StopCheck& stop, qint64 bufferSize) {
    AspectFix fix;
    bufferSize = qMax<qint64>(bufferSize, 1);
    // The reads land on a page boundary, where the kernel copies fastest.
    constexpr qint64 Page = 4096;
    // aligned_alloc wants a whole number of pages.
    const qint64 allocated = (bufferSize + Page - 1) / Page * Page;
    const std::unique_ptr<unsigned char, decltype(&std::free)> buffer(
        static_cast<unsigned char*>(std::aligned_alloc(size_t(Page), size_t(allocated))),
        &std::free);
    if (!buffer) {
        fix.error = NotEnoughMemory;
        return fix;
    }
    ProgramStream stream;
    HeaderScan scan(clip, stop, fix);
    for (qint64 base = 0;;) {
        const qint64 n =
            clip.readAt(base, reinterpret_cast<char*>(buffer.get()), bufferSize, &fix.error);
        if (n < 0)
            return fix;
        if (n == 0)
            break;
        stream.feed(base, buffer.get(), n, scan);
        if (!fix.done())
            return fix;
        if (stream.rejected())
            break;
        base += n;
    }
    // Not even one pack header: nothing here is a program stream.
    if (stream.rejected() || !stream.begun())
        fix.error = ErrNotProgramStream;
    return fix;
}

} // namespace strovan
