#include "tokens.h"

#include <xapian.h>

namespace krvl {

namespace {

// ASCII characters by what they are to the tokenizer: 0 a separator, else the character
// a word holds for it (lower case). Xapian's word characters among them are the letters,
// the digits and the underscore.
struct AsciiTable {
    char word[128] = {};
    constexpr AsciiTable() {
        for (int c = '0'; c <= '9'; ++c) word[c] = static_cast<char>(c);
        for (int c = 'a'; c <= 'z'; ++c) word[c] = static_cast<char>(c);
        for (int c = 'A'; c <= 'Z'; ++c) word[c] = static_cast<char>(c - 'A' + 'a');
        word[static_cast<int>('_')] = '_';
    }
};
constexpr AsciiTable kAscii;

}  // namespace

bool IsCjk(unsigned c) {
    return (c >= 0x3040 && c <= 0x318F) || (c >= 0x31A0 && c <= 0x31FF) || (c >= 0x3300 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF66 && c <= 0xFF9F) || (c >= 0x20000 && c <= 0x3FFFF);
}

void Tokenizer::Emit(Token& tok, bool cjk) {
    pos_ += (pos_ > 0 && ((separated_ && (prevCjk_ || cjk)) || prevCjk_ != cjk)) ? 2 : 1;
    tok.pos = pos_;
    tok.cjk = cjk;
    if (!cjk) tok.ch = 0;
    prevCjk_ = cjk;
    separated_ = false;
}

bool Tokenizer::Next(Token& tok) {
    tok.term.clear();
    bool inWord = false;  // a word has begun (its term is in tok.term unless too long)
    bool tooLong = false;
    while (p_ < end_) {
        const unsigned char b = static_cast<unsigned char>(*p_);
        if (b < 0x80) {
            const char w = kAscii.word[b];
            if (w) {
                inWord = true;
                if (!tooLong) {
                    tok.term.push_back(w);
                    if (tok.term.size() > kMaxWordBytes) {
                        tooLong = true;
                        tok.term.clear();
                    }
                }
                ++p_;
                continue;
            }
            ++p_;
            if (inWord) {
                Emit(tok, false);
                separated_ = true;
                return true;
            }
            separated_ = true;
            continue;
        }
        // Anything else is decoded as Xapian decodes it (a byte that starts no valid
        // sequence stands for itself).
        Xapian::Utf8Iterator it(p_, static_cast<size_t>(end_ - p_));
        const unsigned c = *it;
        ++it;
        const char* next = it.raw();
        if (IsCjk(c)) {
            if (inWord) {
                // The word ends here; the character is read again by the next call.
                Emit(tok, false);
                return true;
            }
            Xapian::Unicode::append_utf8(tok.term, c);
            tok.ch = c;
            p_ = next;
            Emit(tok, true);
            return true;
        }
        p_ = next;
        if (Xapian::Unicode::is_wordchar(c)) {
            inWord = true;
            if (!tooLong) {
                Xapian::Unicode::append_utf8(tok.term, Xapian::Unicode::tolower(c));
                if (tok.term.size() > kMaxWordBytes) {
                    tooLong = true;
                    tok.term.clear();
                }
            }
            continue;
        }
        if (inWord) {
            Emit(tok, false);
            separated_ = true;
            return true;
        }
        separated_ = true;
    }
    if (inWord) {
        Emit(tok, false);
        return true;
    }
    return false;
}

std::vector<Token> TokenList(std::string_view text) {
    std::vector<Token> out;
    Tokenizer tokens(text);
    Token t;
    while (tokens.Next(t)) out.push_back(t);
    return out;
}

}  // namespace krvl
