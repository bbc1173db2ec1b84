#pragma once
// Cutting text into the terms of the store, the same way for texts and for queries.
//
// Letters and digits (Unicode word characters) form words, lower-cased; a word longer
// than kMaxWordBytes takes its position but gives no term. Every CJK character is a token
// of its own (its "unigram"); two CJK characters that follow each other directly also give
// their pair (the "bigram") so that runs are found fast. Everything else separates tokens.
//
// Each token takes the next position, except that one position is left empty between a
// CJK character and a separator or a word next to it: so CJK characters count as
// neighbours only where they really touch, and a phrase of words and CJK characters keeps
// its exact shape. Words and CJK characters are stored with their positions; pairs are not
// (they only narrow the candidates of a run before its positions are checked).

#include <string>
#include <string_view>
#include <vector>

namespace krvl {

constexpr size_t kMaxWordBytes = 64;

bool IsCjk(unsigned c);

struct Token {
    std::string term;  // empty for a word that is too long
    unsigned pos = 0;  // position, from 1
    bool cjk = false;
    unsigned ch = 0;  // the character of a CJK token
};

// Reads the tokens of a text in order, one at a time. Indexing reads every text of the
// store through it, so it keeps no more than the current word: the token handed out is
// overwritten by the next one (its term's buffer is reused).
class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    // The next token into `tok`; false at the end of the text.
    bool Next(Token& tok);

private:
    void Emit(Token& tok, bool cjk);

    const char* p_;
    const char* end_;
    unsigned pos_ = 0;
    bool prevCjk_ = false;
    bool separated_ = false;
};

// The tokens of a text as a list (for queries).
std::vector<Token> TokenList(std::string_view text);

}  // namespace krvl
