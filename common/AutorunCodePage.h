#pragma once

// The 8-bit code page of Autorun.inf, one definition for the launcher that
// writes the file and for the disc's autorun program that reads it. The disc
// is read on machines whose own ANSI code page may be another (Polish,
// Russian...), so neither side may use the machine's. Plain C++, for both
// the launcher and the cross-built Windows program.
namespace autorun {

// Windows-1252.
inline constexpr unsigned CodePage = 1252;

// Bytes 0x80-0x9F; the five bytes the code page leaves unused stand for the
// C1 control of the same number, as Windows decodes them.
inline constexpr char16_t High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char16_t charOf(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? High[byte - 0x80] : char16_t(byte);
}

// The byte of c, or -1 when the code page has none.
constexpr int byteOf(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (High[i] == c)
            return 0x80 + i;
    return -1;
}

} // namespace autorun
