#include "textdecode.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace krvl {

namespace {

// Length of the valid UTF-8 sequence at p (strict: no overlong forms, no surrogates,
// nothing above U+10FFFF), 0 when it is not valid, -1 when it is cut off by the end.
int Utf8Length(const unsigned char* p, size_t n) {
    const unsigned char c = p[0];
    if (c < 0x80) return 1;
    int len;
    unsigned lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
        len = 2;
    else if (c == 0xE0) {
        len = 3;
        lo = 0xA0;
    } else if (c >= 0xE1 && c <= 0xEC)
        len = 3;
    else if (c == 0xED) {
        len = 3;
        hi = 0x9F;
    } else if (c >= 0xEE && c <= 0xEF)
        len = 3;
    else if (c == 0xF0) {
        len = 4;
        lo = 0x90;
    } else if (c >= 0xF1 && c <= 0xF3)
        len = 4;
    else if (c == 0xF4) {
        len = 4;
        hi = 0x8F;
    } else
        return 0;
    for (int i = 1; i < len; ++i) {
        if (static_cast<size_t>(i) >= n) return -1;
        const unsigned b = p[i];
        if (i == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return 0;
    }
    return len;
}

// True when every sequence is valid UTF-8; a sequence cut off at the very end (a file
// truncated by the size cap) is allowed.
bool IsUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t i = 0;
    while (i < s.size()) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const int len = Utf8Length(p + i, s.size() - i);
        if (len == -1) return s.size() - i < 4;
        if (len == 0) return false;
        i += static_cast<size_t>(len);
    }
    return true;
}

// Decodes with iconv. Undecodable bytes are skipped when lenient, else the result is false.
// A sequence cut off at the end is dropped in both modes.
bool Convert(const char* from, std::string_view in, std::string& out, bool lenient) {
    out.clear();
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.reserve(in.size() + in.size() / 2);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[16384];
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (errno == EINVAL) break;  // incomplete sequence at the end
        // EILSEQ
        if (!lenient) {
            ok = false;
            break;
        }
        ++src;
        --srcLeft;
    }
    iconv_close(cd);
    return ok;
}

// UTF-16 judged by its zero bytes: text with ASCII in it has a zero in one half of most
// ASCII units and almost never in the other; GB18030, Big5 and UTF-8 text has no zero bytes.
// Pure CJK text without a single ASCII character has no zeros either: it is recognised by
// nearly all of its units lying in the CJK ideograph and punctuation blocks.
int Utf16Guess(std::string_view s) {  // 1 little-endian, 2 big-endian, 0 neither
    const size_t units = s.size() / 2;
    if (units == 0) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t zeroEven = 0, zeroOdd = 0;
    size_t cjkLE = 0, cjkBE = 0;
    auto plausible = [](unsigned u) {
        return (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) || (u >= 0xFF00 && u <= 0xFFEF) ||
               (u >= 0x3400 && u <= 0x4DBF);
    };
    for (size_t i = 0; i < units; ++i) {
        const unsigned a = p[2 * i], b = p[2 * i + 1];
        if (a == 0) ++zeroEven;
        if (b == 0) ++zeroOdd;
        if (plausible(a | (b << 8))) ++cjkLE;
        if (plausible((a << 8) | b)) ++cjkBE;
    }
    // ASCII in UTF-16LE puts the zero at the odd byte.
    if (zeroOdd >= units / 10 + 1 && zeroEven * 20 <= zeroOdd) return 1;
    if (zeroEven >= units / 10 + 1 && zeroOdd * 20 <= zeroEven) return 2;
    // Only asked for text that is not UTF-8: pairs of ASCII letters fall in the ideograph
    // block too.
    if (zeroEven == 0 && zeroOdd == 0 && s.size() % 2 == 0 && !IsUtf8(s)) {
        if (cjkLE * 100 >= units * 95) return 1;
        if (cjkBE * 100 >= units * 95) return 2;
    }
    return 0;
}

// Among two-byte characters, the share whose second byte lies below 0xA1. GB2312 and the
// common part of GBK put both bytes in A1..FE; Big5 puts the second byte in 40..7E for
// about two characters in five.
bool LooksLikeBig5(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    size_t pairs = 0, lowTrail = 0;
    for (size_t i = 0; i + 1 < s.size();) {
        if (p[i] < 0x81) {
            ++i;
            continue;
        }
        if (p[i] < 0xA1) return false;  // a lead byte Big5 does not have
        ++pairs;
        if (p[i + 1] < 0xA1) ++lowTrail;
        i += 2;
    }
    return pairs > 0 && lowTrail * 100 >= pairs * 15;
}

}  // namespace

Encoding DetectEncoding(std::string_view s, size_t* bomLength) {
    if (bomLength) *bomLength = 0;
    auto bom = [&](size_t n, Encoding e) {
        if (bomLength) *bomLength = n;
        return e;
    };
    if (s.starts_with("\xEF\xBB\xBF")) return bom(3, Encoding::Utf8);
    if (s.starts_with("\xFF\xFE")) return bom(2, Encoding::Utf16LE);
    if (s.starts_with("\xFE\xFF")) return bom(2, Encoding::Utf16BE);
    const int u16 = Utf16Guess(s);
    if (u16 == 0 && IsUtf8(s)) return Encoding::Utf8;
    if (u16 == 1) return Encoding::Utf16LE;
    if (u16 == 2) return Encoding::Utf16BE;
    std::string scratch;
    const bool gb = Convert("GB18030", s, scratch, false);
    const bool big5 = Convert("BIG5", s, scratch, false);
    if (big5 && (!gb || LooksLikeBig5(s))) return Encoding::Big5;
    return Encoding::Gb18030;
}

std::string DecodeToUtf8(std::string_view s) {
    size_t bom = 0;
    const Encoding e = DetectEncoding(s, &bom);
    s.remove_prefix(bom);
    std::string out;
    switch (e) {
        case Encoding::Utf8:
            if (IsUtf8(s)) return std::string(s);
            Convert("UTF-8", s, out, true);
            break;
        case Encoding::Utf16LE: Convert("UTF-16LE", s, out, true); break;
        case Encoding::Utf16BE: Convert("UTF-16BE", s, out, true); break;
        case Encoding::Gb18030: Convert("GB18030", s, out, true); break;
        case Encoding::Big5: Convert("BIG5", s, out, true); break;
    }
    return out;
}

}  // namespace krvl
