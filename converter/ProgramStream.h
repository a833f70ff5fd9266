#pragma once

#include <QtGlobal>

// An MPEG program stream read as it streams by: packs (MPEG-1 and MPEG-2
// forms), system headers and PES packets, and out of them the payload of one
// video elementary stream, which is what a player decodes. Bytes are fed in
// pieces of any size; a header cut between two pieces is read across them,
// so nothing is held back and nothing is read twice.
namespace strovan {

class ProgramStream {
public:
    // Where the video elementary stream's bytes go, with their file offsets.
    class Sink {
    public:
        virtual ~Sink() = default;
        // size bytes of the elementary stream, lying in the file from offset;
        // the piece follows the previous one in the elementary stream. False
        // stops the reading for good.
        virtual bool videoBytes(qint64 offset, const unsigned char* data, qint64 size) = 0;
        // Bytes were lost (a damaged packet was passed over): the next piece
        // does not continue the previous one.
        virtual void videoGap() {}
    };

    // Reads the next size bytes of the file, which lie at offset (the end of
    // the previous piece).
    void feed(qint64 offset, const unsigned char* data, qint64 size, Sink& sink);

    // The file does not begin with a pack header: it is no program stream
    // (a bare elementary stream, or other data), and nothing of it is read.
    bool rejected() const { return m_state == State::Rejected; }
    // A whole pack header has been read.
    bool begun() const { return m_begun; }
    // The stream id of the video stream followed, or -1 while none is known.
    int videoStream() const { return m_video; }
    // Damaged places passed over up to the next pack.
    qint64 resyncs() const { return m_resyncs; }

private:
    enum class State {
        StartCode,    // collecting 00 00 01 and a stream id
        PackHeader,   // collecting the fixed part of a pack header
        Length,       // collecting a packet's 16-bit length
        SystemHeader, // inside a system header: stream ids every 3 bytes
        PesHeader,    // inside the header of a video PES packet
        Payload,      // video elementary stream bytes
        Skip,         // bytes of no interest (other streams, stuffing)
        Resync,       // looking for the next pack start code
        Stopped,      // the sink said so
        Rejected,
    };

    void startPacket();
    // The bytes do not go on as a program stream: before the first pack the
    // file is refused, after it the next pack is looked for.
    void damaged(unsigned char last);
    // Called once a header byte has been added to m_head; moves the state on.
    void headerByte();
    // A whole pack header or packet header at p, with FastHeader bytes
    // readable: its length once read, or 0 to take the steps byte by byte.
    static constexpr qint64 FastHeader = 9 + 255;
    qint64 fastHeader(const unsigned char* p);
    // PES header of the video stream, one byte at a time (both forms).
    void pesHeaderByte(unsigned char b);

    State m_state = State::StartCode;
    bool m_begun = false;       // the first start code has been read
    unsigned char m_head[16]{}; // the header bytes collected so far
    int m_have = 0;
    qint64 m_left = 0; // bytes left in the packet (or in the skip)
    int m_video = -1;
    // PES header of the video stream.
    int m_pesStep = 0;
    int m_pesStuffing = 0;
    unsigned m_recent = 0xFFFFFFFF; // the last bytes seen while resynchronising
    qint64 m_resyncs = 0;
    bool m_gap = false; // the sink is yet to hear of lost bytes
};

} // namespace strovan
