#include "tokens.h"

#include <xapian.h>

namespace krvl {

bool IsCjk(unsigned c) {
    return (c >= 0x3040 && c <= 0x318F) || (c >= 0x31A0 && c <= 0x31FF) || (c >= 0x3300 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF66 && c <= 0xFF9F) || (c >= 0x20000 && c <= 0x3FFFF);
}

void Tokenize(std::string_view text, const std::function<void(const Token&)>& onToken) {
    Token tok;
    unsigned pos = 0;
    bool prevCjk = false;
    bool separated = false;
    std::string word;
    bool wordTooLong = false;

    auto emit = [&](std::string term, bool cjk) {
        pos += (pos > 0 && ((separated && (prevCjk || cjk)) || prevCjk != cjk)) ? 2 : 1;
        tok.term = std::move(term);
        tok.pos = pos;
        tok.cjk = cjk;
        onToken(tok);
        prevCjk = cjk;
        separated = false;
    };
    auto endWord = [&]() {
        if (word.empty() && !wordTooLong) return;
        emit(wordTooLong ? std::string() : word, false);
        word.clear();
        wordTooLong = false;
    };

    Xapian::Utf8Iterator it(text.data(), text.size()), end;
    for (; it != end; ++it) {
        const unsigned c = *it;
        if (IsCjk(c)) {
            endWord();
            std::string ch;
            Xapian::Unicode::append_utf8(ch, c);
            emit(std::move(ch), true);
        } else if (Xapian::Unicode::is_wordchar(c)) {
            if (!wordTooLong) {
                Xapian::Unicode::append_utf8(word, Xapian::Unicode::tolower(c));
                if (word.size() > kMaxWordBytes) {
                    wordTooLong = true;
                    word.clear();
                }
            }
        } else {
            endWord();
            separated = true;
        }
    }
    endWord();
}

std::vector<Token> TokenList(std::string_view text) {
    std::vector<Token> out;
    Tokenize(text, [&](const Token& t) { out.push_back(t); });
    return out;
}

}  // namespace krvl
