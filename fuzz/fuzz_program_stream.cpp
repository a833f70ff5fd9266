// The program-stream reader: fed in pieces of any size (the first input byte
// picks it), it hands over the same video elementary stream, at the same file
// offsets, as when fed everything at once, and every byte it hands over is
// the file's byte at the offset it gives, in rising order.
#include "converter/ProgramStream.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Collect : strovan::ProgramStream::Sink {
    std::string bytes;
    std::vector<qint64> offsets;
    std::vector<size_t> gaps; // where in bytes the stream broke off
    bool videoBytes(qint64 offset, const unsigned char* data, qint64 size) override {
        for (qint64 i = 0; i < size; ++i) {
            bytes += char(data[i]);
            offsets.push_back(offset + i);
        }
        return true;
    }
    void videoGap() override {
        if (gaps.empty() || gaps.back() != bytes.size())
            gaps.push_back(bytes.size());
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const qint64 step = data[0] % 80 + 1;
    const unsigned char* file = data + 1;
    const qint64 length = qint64(size - 1);
    strovan::ProgramStream once, inPieces;
    Collect whole, pieces;
    once.feed(0, file, length, whole);
    for (qint64 at = 0; at < length; at += step)
        inPieces.feed(at, file + at, std::min(step, length - at), pieces);
    FUZZ_CHECK(whole.bytes == pieces.bytes);
    FUZZ_CHECK(whole.offsets == pieces.offsets);
    FUZZ_CHECK(whole.gaps == pieces.gaps);
    FUZZ_CHECK(once.rejected() == inPieces.rejected());
    FUZZ_CHECK(once.begun() == inPieces.begun());
    FUZZ_CHECK(once.videoStream() == inPieces.videoStream());
    FUZZ_CHECK(!once.rejected() || whole.bytes.empty());
    for (size_t i = 0; i < whole.offsets.size(); ++i) {
        FUZZ_CHECK(whole.offsets[i] >= 0 && whole.offsets[i] < length);
        FUZZ_CHECK(i == 0 || whole.offsets[i] > whole.offsets[i - 1]);
        FUZZ_CHECK(char(file[whole.offsets[i]]) == whole.bytes[i]);
    }
    return 0;
}
