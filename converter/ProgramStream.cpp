#include "converter/ProgramStream.h"

#include <cstring>

namespace strovan {

namespace {

constexpr unsigned char PackStart = 0xBA;
constexpr unsigned char ProgramEnd = 0xB9;
constexpr unsigned char SystemHeaderStart = 0xBB;
constexpr unsigned PackStartCode = 0x000001BA;

bool IsVideoStream(unsigned id) {
    return id >= 0xE0 && id <= 0xEF;
}

// The marker bits of a pack header, which tell a real one from stray bytes.
bool PackMarkersSet(const unsigned char* h, bool mpeg2) {
    if (mpeg2)
        return (h[4] & 0x04) && (h[6] & 0x04) && (h[8] & 0x04) && (h[9] & 0x01) &&
               (h[12] & 0x03) == 0x03;
    return (h[4] & 0x01) && (h[6] & 0x01) && (h[8] & 0x01) && (h[9] & 0x80) && (h[11] & 0x01);
}

// PES header steps (m_pesStep).
enum PesStep {
    FirstByte,
    Mpeg2Flags,
    Mpeg2HeaderLength,
    HeaderRest, // m_pesStuffing more header bytes, then the payload
    Mpeg1Next,  // after stuffing bytes or the buffer size: more of those or a time stamp
    Mpeg1Buffer,
    Mpeg1Stamp, // after the buffer size: a time stamp or none
};

} // namespace

void ProgramStream::startPacket() {
    m_state = State::StartCode;
    m_have = 0;
}

void ProgramStream::damaged(unsigned char last) {
    if (!m_begun) {
        m_state = State::Rejected;
        return;
    }
    ++m_resyncs;
    m_gap = true;
    // A pack start may begin among the bytes just refused.
    m_recent = 0xFFFFFFFF;
    for (int i = 0; i < m_have; ++i)
        m_recent = m_recent << 8 | m_head[i];
    if (m_have == 0)
        m_recent = m_recent << 8 | last;
    m_state = State::Resync;
}

void ProgramStream::headerByte() {
    const unsigned char b = m_head[m_have - 1];
    switch (m_state) {
    case State::StartCode:
        if (m_have < 4) {
            if (b != (m_have == 3 ? 1 : 0))
                damaged(b);
            return;
        }
        if (b == PackStart)
            m_state = State::PackHeader;
        else if (!m_begun)
            damaged(b);
        else if (b == ProgramEnd)
            startPacket();
        else if (b == SystemHeaderStart || b >= 0xBC)
            m_state = State::Length;
        else
            damaged(b); // a start code of the elementary stream: not where packets are
        return;
    case State::PackHeader: {
        const bool mpeg2 = (m_head[4] & 0xC0) == 0x40;
        if (m_have == 5 && !mpeg2 && (b & 0xF0) != 0x20) {
            damaged(b);
            return;
        }
        if (m_have < (mpeg2 ? 14 : 12))
            return;
        if (!PackMarkersSet(m_head, mpeg2)) {
            damaged(b);
            return;
        }
        m_begun = true;
        m_left = mpeg2 ? m_head[13] & 0x07 : 0; // stuffing bytes
        m_have = 0;
        m_state = m_left > 0 ? State::Skip : State::StartCode;
        return;
    }
    case State::Length: {
        if (m_have < 6)
            return;
        const unsigned id = m_head[3];
        m_left = qint64(m_head[4]) << 8 | m_head[5];
        m_pesStep = 0;
        m_have = 0;
        if (m_left == 0) {
            startPacket();
            return;
        }
        if (id == SystemHeaderStart) {
            m_state = State::SystemHeader;
            return;
        }
        if (m_video < 0 && IsVideoStream(id))
            m_video = int(id);
        m_state = int(id) == m_video ? State::PesHeader : State::Skip;
        return;
    }
    default:
        return;
    }
}

void ProgramStream::pesHeaderByte(unsigned char b) {
    switch (m_pesStep) {
    case FirstByte:
        if ((b & 0xC0) == 0x80) {
            m_pesStep = Mpeg2Flags;
            return;
        }
        m_pesStuffing = 0;
        [[fallthrough]];
    case Mpeg1Next:
        if (b == 0xFF) {
            m_pesStep = Mpeg1Next;
            if (++m_pesStuffing > 16)
                damaged(b);
            return;
        }
        if ((b & 0xC0) == 0x40) {
            m_pesStep = Mpeg1Buffer;
            return;
        }
        [[fallthrough]];
    case Mpeg1Stamp:
        if ((b & 0xF0) == 0x20 || (b & 0xF0) == 0x30) {
            m_pesStuffing = (b & 0xF0) == 0x20 ? 4 : 9;
            m_pesStep = HeaderRest;
        } else if (b == 0x0F) {
            m_state = State::Payload;
        } else {
            damaged(b);
        }
        return;
    case Mpeg1Buffer:
        m_pesStep = Mpeg1Stamp;
        return;
    case Mpeg2Flags:
        m_pesStep = Mpeg2HeaderLength;
        return;
    case Mpeg2HeaderLength:
        m_pesStuffing = b;
        m_pesStep = HeaderRest;
        if (m_pesStuffing == 0)
            m_state = State::Payload;
        return;
    case HeaderRest:
        if (--m_pesStuffing == 0)
            m_state = State::Payload;
        return;
    default:
        return;
    }
}

qint64 ProgramStream::fastHeader(const unsigned char* p) {
    if (p[0] != 0 || p[1] != 0 || p[2] != 1)
        return 0;
    const unsigned id = p[3];
    if (id == PackStart) {
        // The MPEG-2 form; MPEG-1 packs take the slow way.
        if ((p[4] & 0xC0) != 0x40 || !PackMarkersSet(p, true))
            return 0;
        m_begun = true;
        const int stuffing = p[13] & 0x07;
        return 14 + stuffing;
    }
    if (!m_begun || id < 0xBC)
        return 0;
    const qint64 length = qint64(p[4]) << 8 | p[5];
    if (length == 0)
        return 0;
    if (m_video < 0 && IsVideoStream(id))
        m_video = int(id);
    if (int(id) != m_video) {
        m_left = length;
        m_state = State::Skip;
        return 6;
    }
    // MPEG-2 PES header with all of it in the buffer and in the packet.
    const int headerLength = p[8];
    if ((p[6] & 0xC0) != 0x80 || 9 + headerLength > FastHeader || 3 + headerLength >= length)
        return 0;
    m_left = length - 3 - headerLength;
    m_state = State::Payload;
    return 9 + headerLength;
}

void ProgramStream::feed(qint64 offset, const unsigned char* data, qint64 size, Sink& sink) {
    qint64 i = 0;
    while (i < size) {
        switch (m_state) {
        case State::Stopped:
        case State::Rejected:
            return;
        case State::Payload: {
            const qint64 n = qMin(m_left, size - i);
            if (!sink.videoBytes(offset + i, data + i, n)) {
                m_state = State::Stopped;
                return;
            }
            i += n;
            m_left -= n;
            if (m_left == 0)
                startPacket();
            break;
        }
        case State::Skip: {
            const qint64 n = qMin(m_left, size - i);
            i += n;
            m_left -= n;
            if (m_left == 0)
                startPacket();
            break;
        }
        case State::SystemHeader: {
            // Fixed fields for 6 bytes, then a stream id every 3 bytes: the
            // first video stream named is the one to follow.
            const unsigned char b = data[i++];
            const int at = m_pesStep++;
            if (at >= 6 && (at - 6) % 3 == 0 && m_video < 0 && IsVideoStream(b))
                m_video = b;
            if (--m_left == 0)
                startPacket();
            break;
        }
        case State::PesHeader:
            pesHeaderByte(data[i++]);
            if (--m_left == 0 && m_state != State::Resync)
                startPacket(); // a packet without payload, or cut short
            break;
        case State::Resync: {
            // The next pack start code, 00 00 01 BA.
            const void* hit = std::memchr(data + i, PackStart, size_t(size - i));
            const qint64 at = hit ? static_cast<const unsigned char*>(hit) - data : size - 1;
            for (qint64 k = qMax(i, at - 3); k <= at; ++k)
                m_recent = m_recent << 8 | data[k];
            i = at + 1;
            if (hit && m_recent == PackStartCode) {
                std::memcpy(m_head, "\x00\x00\x01\xBA", 4);
                m_have = 4;
                m_state = State::PackHeader;
            }
            break;
        }
        case State::StartCode:
            // Most packets begin in the buffer with their whole header: read
            // at once, without the byte-by-byte steps below.
            if (m_have == 0 && size - i >= FastHeader) {
                const qint64 n = fastHeader(data + i);
                if (n > 0) {
                    i += n;
                    break;
                }
            }
            [[fallthrough]];
        default:
            m_head[m_have++] = data[i++];
            headerByte();
            break;
        }
        if (m_gap) {
            m_gap = false;
            sink.videoGap();
        }
    }
}

} // namespace strovan
