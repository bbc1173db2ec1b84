#pragma once
// The one UTF-8 decoder of the core: file names (fsutil.cpp) and markup files
// (io/markup.cpp) read byte strings that may not be valid UTF-8, and both must agree
// on which byte sequences are valid.

#include <QtGlobal>

namespace korvel {

// Length of the valid, shortest-form UTF-8 sequence at p (left bytes remain from p on)
// and its character in c; 0 when there is none: a stray continuation byte, an overlong
// form, an encoded surrogate, a value above U+10FFFF, or a sequence cut off by the end.
// A byte below 0x80 (zero included) is always a sequence of its own.
inline int Utf8SequenceAt(const unsigned char* p, qsizetype left, char32_t& c) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    int len;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        c = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
        if (b0 == 0xED) hi = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        c = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (left < len) return 0;
    if (p[1] < lo || p[1] > hi) return 0;
    c = (c << 6) | (p[1] & 0x3F);
    for (int i = 2; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (p[i] & 0x3F);
    }
    return len;
}

}  // namespace korvel
