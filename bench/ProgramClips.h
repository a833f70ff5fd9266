#pragma once

// Clips for the benchmarks, as a camcorder writes them: MPEG-2 program
// streams of 2048-byte packs.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace bench {

constexpr int PackSize = 2048;
constexpr unsigned char Standard = 0x23; // 4:3, 25 images per second

inline void writeAll(int fd, const unsigned char* data, size_t size) {
    if (::write(fd, data, size) != ssize_t(size)) {
        std::perror("write");
        std::exit(4);
    }
}

// A program stream of packs: pack header, one PES packet filling the pack.
// Every headerEvery-th video packet begins with a sequence header; the rest
// is bytes without zeros, so no start code appears by chance.
inline std::vector<off_t> writeProgramClip(const std::string& path, long long size, int headerEvery,
                                           unsigned seed) {
    static const unsigned char packHeader[14] = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04,
                                                 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8};
    static const unsigned char pesHead[8] = {0x81, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00, 0x01};
    static const unsigned char sequence[12] = {0x00, 0x00,     0x01, 0xB3, 0x2D, 0x02,
                                               0x40, Standard, 0x12, 0x34, 0x70, 0x00};
    std::vector<off_t> shapes;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(4);
    }
    std::vector<unsigned char> chunk;
    chunk.reserve(1 << 20);
    unsigned x = seed | 1;
    long long video = 0;
    for (long long pack = 0; pack * PackSize < size; ++pack) {
        unsigned char p[PackSize];
        std::memcpy(p, packHeader, 14);
        const bool audio = pack % 5 == 4;
        const int length = PackSize - 14 - 6;
        const unsigned char head[6] = {0x00,
                                       0x00,
                                       0x01,
                                       static_cast<unsigned char>(audio ? 0xC0 : 0xE0),
                                       static_cast<unsigned char>(length >> 8),
                                       static_cast<unsigned char>(length & 0xFF)};
        std::memcpy(p + 14, head, 6);
        std::memcpy(p + 20, pesHead, 8);
        for (int i = 28; i < PackSize; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            p[i] = static_cast<unsigned char>(x % 255 + 1);
        }
        if (!audio && video++ % headerEvery == 0) {
            std::memcpy(p + 28, sequence, sizeof sequence);
            shapes.push_back(off_t(pack * PackSize + 28 + 7));
        }
        chunk.insert(chunk.end(), p, p + PackSize);
        if (chunk.size() >= (1 << 20)) {
            writeAll(fd, chunk.data(), chunk.size());
            chunk.clear();
        }
    }
    writeAll(fd, chunk.data(), chunk.size());
    ::close(fd);
    return shapes;
}

} // namespace bench
