#include "search/snippet.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace korvel {

namespace {

// Texts are read up to this size: a snippet comes from the first match, which a
// text this long without one will hardly have further on.
constexpr qint64 kMaxTextBytes = 16 * 1024 * 1024;

bool IsWordChar(QChar c) { return c.isLetterOrNumber() && c.unicode() < 0x2E80; }

bool IsWholeWord(const QString& text, qsizetype at, qsizetype length) {
    const bool startOk = at == 0 || !IsWordChar(text[at - 1]) || !IsWordChar(text[at]);
    const qsizetype end = at + length;
    const bool endOk = end >= text.size() || !IsWordChar(text[end]) || !IsWordChar(text[end - 1]);
    return startOk && endOk;
}

// Occurrences of word in text within [from, to): whole words, or any when there is none
// in the whole text (wholeOnly tells which was found).
std::vector<qsizetype> Occurrences(const QString& text, const QString& word, qsizetype from, qsizetype to,
                                   bool wholeOnly) {
    std::vector<qsizetype> at;
    for (qsizetype i = text.indexOf(word, from, Qt::CaseInsensitive); i >= 0 && i < to;
         i = text.indexOf(word, i + 1, Qt::CaseInsensitive)) {
        if (i + word.size() > to) break;
        if (!wholeOnly || IsWholeWord(text, i, word.size())) at.push_back(i);
    }
    return at;
}

}  // namespace

std::optional<ContentSnippet> SnippetOfText(const QString& raw, const QString& query, int width) {
    const QStringList words = query.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.isEmpty() || raw.isEmpty()) return std::nullopt;
    const QString text = raw.simplified();
    width = std::max(width, 10);

    // The first place any word occurs, whole words before parts of words.
    struct Word {
        QString text;
        bool whole;
    };
    std::vector<Word> found;
    qsizetype first = -1;
    for (const QString& w : words) {
        std::vector<qsizetype> at = Occurrences(text, w, 0, text.size(), true);
        bool whole = true;
        if (at.empty()) {
            at = Occurrences(text, w, 0, text.size(), false);
            whole = false;
        }
        if (at.empty()) continue;
        found.push_back({w, whole});
        if (first < 0 || at.front() < first) first = at.front();
    }
    if (first < 0) return std::nullopt;

    // The piece: a third of it before the match, the rest after.
    qsizetype start = std::max<qsizetype>(0, first - width / 3);
    qsizetype end = std::min<qsizetype>(text.size(), start + width);
    start = std::max<qsizetype>(0, std::min(start, end - width));
    // Never cut a surrogate pair.
    if (start > 0 && text[start].isLowSurrogate()) --start;
    if (end < text.size() && text[end].isLowSurrogate()) ++end;

    ContentSnippet s;
    const QString lead = start > 0 ? QStringLiteral("…") : QString();
    s.text = lead + text.mid(start, end - start) + (end < text.size() ? QStringLiteral("…") : QString());
    std::vector<std::pair<int, int>> marks;
    for (const Word& w : found)
        for (qsizetype i : Occurrences(text, w.text, start, end, w.whole))
            marks.push_back({static_cast<int>(i - start + lead.size()), static_cast<int>(w.text.size())});
    std::sort(marks.begin(), marks.end());
    // Overlapping marks (one word inside another) become one.
    for (const auto& m : marks) {
        if (!s.marks.empty() && m.first < s.marks.back().first + s.marks.back().second) {
            auto& last = s.marks.back();
            last.second = std::max(last.first + last.second, m.first + m.second) - last.first;
        } else {
            s.marks.push_back(m);
        }
    }
    return s;
}

std::optional<ContentSnippet> RecordContentSnippet(qint64 id, const QString& query, int width) {
    if (id <= 0) return std::nullopt;
    QFile file(QStringLiteral("./index/%1/text.txt").arg(id));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return SnippetOfText(QString::fromUtf8(file.read(kMaxTextBytes)), query, width);
}

}  // namespace korvel
