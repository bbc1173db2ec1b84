// AUTO CREATE NODE TREE. Keywords are numbered in their code-unit order, so "first in
// key order" is the smallest number, and every record is the sorted set of its keyword
// numbers. Counting a level touches each keyword of each of its records once; the
// keywords that occur together with a pick are found by walking the records of the pick,
// and since no record holds two picks, a level costs one pass over its records plus one
// per pick over the records that hold it.
#include "autotree/autotree.h"

#include "tree/nodes.h"
#include "tree/tags.h"

#include <QHash>

#include <algorithm>
#include <numeric>

namespace korvel {

namespace {

const QString kBlank = QStringLiteral(" ");

// Records as sorted sets of keyword numbers.
class Corpus {
public:
    void AddRecord(const QStringList& keywords) {
        std::vector<int> r;
        r.reserve(keywords.size());
        for (const QString& k : keywords) r.push_back(Intern(k));
        records_.push_back(std::move(r));
    }
    // The number of a keyword, or -1 when no record has it.
    int Find(const QString& k) const {
        auto it = std::lower_bound(words_.begin(), words_.end(), k);
        return it != words_.end() && *it == k ? static_cast<int>(it - words_.begin()) : -1;
    }
    // Renumbers the keywords in code-unit order and sorts every record.
    void Finish() {
        std::vector<int> order(words_.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](int a, int b) { return words_[a] < words_[b]; });
        std::vector<int> rank(words_.size());
        std::vector<QString> sorted;
        sorted.reserve(words_.size());
        for (int i = 0; i < static_cast<int>(order.size()); ++i) {
            rank[order[i]] = i;
            sorted.push_back(std::move(words_[order[i]]));
        }
        words_ = std::move(sorted);
        index_.clear();
        for (std::vector<int>& r : records_) {
            for (int& k : r) k = rank[k];
            std::sort(r.begin(), r.end());
            r.erase(std::unique(r.begin(), r.end()), r.end());
        }
    }
    const std::vector<QString>& words() const { return words_; }
    const std::vector<std::vector<int>>& records() const { return records_; }

private:
    int Intern(const QString& k) {
        auto it = index_.constFind(k);
        if (it != index_.constEnd()) return it.value();
        const int n = static_cast<int>(words_.size());
        words_.push_back(k);
        index_.insert(k, n);
        return n;
    }
    std::vector<QString> words_;
    QHash<QString, int> index_;
    std::vector<std::vector<int>> records_;
};

class Builder {
public:
    explicit Builder(const Corpus& corpus)
        : c_(corpus),
          used_(corpus.words().size(), 0),
          counts_(corpus.words().size(), 0),
          removed_(corpus.words().size(), 0) {}

    void Use(int k, bool on) {
        if (k >= 0) used_[k] = on ? used_[k] + 1 : used_[k] - 1;
    }

    void Level(const std::vector<int>& list, simNode& node) {
        const auto& recs = c_.records();
        // Counting: every candidate keyword (not used) of every record.
        std::vector<int> touched;
        for (int r : list)
            for (int k : recs[r])
                if (!used_[k] && counts_[k]++ == 0) touched.push_back(k);
        std::sort(touched.begin(), touched.end());

        // Choosing: the highest count, the first keyword among equals; whatever occurs
        // with the pick (itself included) leaves the running.
        struct Pick {
            int keyword;
            std::vector<int> records;
        };
        std::vector<Pick> picks;
        size_t left = touched.size();
        while (static_cast<int>(picks.size()) < kMaxSiblings && left > 0) {
            int best = -1;
            for (int k : touched)
                if (!removed_[k] && (best < 0 || counts_[k] > counts_[best])) best = k;
            Pick p{best, {}};
            for (int r : list) {
                const std::vector<int>& kw = recs[r];
                if (!std::binary_search(kw.begin(), kw.end(), best)) continue;
                p.records.push_back(r);
                for (int k : kw)
                    if (!used_[k] && !removed_[k]) {
                        removed_[k] = 1;
                        --left;
                    }
            }
            picks.push_back(std::move(p));
        }
        for (int k : touched) {
            counts_[k] = 0;
            removed_[k] = 0;
        }
        touched = {};

        // Children in keyword order, each built from the records that hold its keyword.
        std::sort(picks.begin(), picks.end(), [](const Pick& a, const Pick& b) { return a.keyword < b.keyword; });
        node.children.reserve(picks.size());
        for (Pick& p : picks) {
            simNode child{c_.words()[p.keyword], {}};
            used_[p.keyword] += 1;
            Level(p.records, child);
            used_[p.keyword] -= 1;
            p.records = {};
            node.children.push_back(std::move(child));
        }
    }

private:
    const Corpus& c_;
    std::vector<int> used_;      // > 0: in the used list
    std::vector<int> counts_;    // working counts of the level being chosen
    std::vector<char> removed_;  // left the running at this level
};

void BuildFromCorpus(const QStringList& used, const Corpus& corpus, simNode& node) {
    Builder b(corpus);
    for (const QString& u : used) b.Use(corpus.Find(u), true);
    std::vector<int> all(corpus.records().size());
    std::iota(all.begin(), all.end(), 0);
    b.Level(all, node);
}

int WriteChildren(const QString& parent, const simNode& node, Statement& insert, qint64& next) {
    int written = 0;
    for (const simNode& child : node.children) {
        QString id = parent;
        if (child.keyword != kNullKeyword) {
            insert.Reset();
            insert.Bind(1, child.keyword);
            insert.Bind(2, child.keyword);
            insert.Bind(3, parent.toLongLong());
            insert.Bind(4, next);
            insert.Step();
            id = QString::number(next++);
            ++written;
        }
        written += WriteChildren(id, child, insert, next);
    }
    return written;
}

}  // namespace

void BuildLevel(const QStringList& used, const std::vector<QStringList>& records, simNode& node) {
    Corpus corpus;
    for (const QStringList& r : records) corpus.AddRecord(r);
    corpus.Finish();
    BuildFromCorpus(used, corpus, node);
}

int WriteNodeTree(const QString& parent, const simNode& root, Connection& conn) {
    qint64 next = 1;
    {
        Statement max(conn, QStringLiteral("select max(id) from main2"));
        if (max.Step() && !max.Column(0).isNull()) next = max.Column(0).toLongLong() + 1;
    }
    Statement insert(conn, QStringLiteral("insert into main2(name, findkey, fid, id) values(?,?,?,?)"));
    const QString top = parent.trimmed().isEmpty() ? QStringLiteral("0") : parent.trimmed();
    return WriteChildren(top, root, insert, next);
}

int AutoCreateNodeTree(const QString& node, const NodeMap& nodes, Connection& conn) {
    const QStringList used = DistinctTags(NodeAllTags(node, nodes));
    Corpus corpus;
    {
        // The inner records of the node, as InnerRecordIds lists them, with their tags.
        Statement st(conn, QStringLiteral("select findkey from main ") + InnerRecordsWhereClause(node, nodes, conn));
        while (st.Step()) corpus.AddRecord(SplitText(TextOrEmpty(st.Column(0)), kBlank, true, QString()));
    }
    corpus.Finish();
    simNode root{kNullKeyword, {}};
    BuildFromCorpus(used, corpus, root);
    WriteTransaction tx(conn);
    const int written = WriteNodeTree(node, root, conn);
    tx.Commit();
    return written;
}

}  // namespace korvel
