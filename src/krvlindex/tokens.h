#pragma once
// Cutting text into the terms of the store, the same way for texts and for queries.
//
// Letters and digits (Unicode word characters) form words, lower-cased; a word longer
// than kMaxWordBytes takes its position but gives no term. Every CJK character is a token
// of its own (its "unigram"); two CJK characters that follow each other directly also give
// their pair (the "bigram") so that runs are found fast. Everything else separates tokens.
//
// Positions are not stored in the index; they tell which tokens stand side by side. Each
// token takes the next position; a separator next to a CJK character leaves one position
// empty, so that CJK characters count as neighbours only where they really touch.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace krvl {

constexpr size_t kMaxWordBytes = 64;

bool IsCjk(unsigned c);

struct Token {
    std::string term;   // empty for a word that is too long
    unsigned pos = 0;   // position, from 1
    bool cjk = false;
};

// Calls onToken for each token in order.
void Tokenize(std::string_view text, const std::function<void(const Token&)>& onToken);

// The tokens of a text as a list (for queries).
std::vector<Token> TokenList(std::string_view text);

}  // namespace krvl
