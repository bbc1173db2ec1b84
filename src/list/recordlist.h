#pragma once
// The record listing under the list pane: which records of the opened node are listed,
// the page on show, the page text, header sorting, and the row helpers that record
// commands use. The window draws Rows(); it is told of changes through `changed`.

#include "base/settings.h"
#include "store/pageset.h"
#include "tree/nodes.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace korvel {

// Field name -> text of one record.
using RecordMap = std::map<QString, QString>;

// Column titles of the list, in column order.
extern const QStringList kColumnTitles;

// What a listing lists: a typed value, never a statement text.
struct ListingSource {
    enum class Kind {
        Tags,    // the records carrying all the tags (a node with its sub-nodes), by name
        Inner,   // the inner records of a node (none of its children's), newest first
        Ids,     // the records with these ids, in an order
        Table,   // the rows of a table meeting a condition
        Ranked,  // records best first (content search): the ids in their order
    };
    Kind kind = Kind::Tags;
    QString tags;                  // Tags: a tag text (usually the all tags of a node)
    QString node;                  // Inner: the node id
    std::vector<qint64> ids;       // Ids, Ranked
    QString table;                 // Table
    QString condition;             // Table: a boolean SQL expression, text values quoted or bound
    std::vector<QVariant> params;  // Table: values of the ?s of condition
    std::vector<OrderKey> order;   // Ids, Table
    // Tags, Inner, Table: only the records whose name or tags contain this text (letter
    // case aside for ASCII letters; % and _ are plain characters here). Empty: all.
    QString nameOrTagFilter;

    static ListingSource NodeWithSubNodes(const QString& allTags);
    static ListingSource NodeInner(const QString& nodeId);
    static ListingSource IdList(std::vector<qint64> ids,
                                std::vector<OrderKey> order = {{QStringLiteral("fileinputdtime"), true}});
    static ListingSource TableRows(const QString& table, const QString& condition, std::vector<OrderKey> order,
                                   std::vector<QVariant> params = {});
    static ListingSource RankedIds(std::vector<qint64> bestFirst);

    // The rows of the catalogue this source names (an Inner source reads the node's
    // children in conn). Throws DbError when they cannot be read.
    RowQuery Query(const NodeMap& nodes, Connection& conn) const;
};

// A listing reads its rows on a connection into a page set, both its session's; the node
// of node listings is the current node of its node tree, the inner-only choice the
// session's option. Its calls return false on a failure and hand the failure's text to
// the hook `failed`, which its owner sets to tell the user.
class RecordListing {
public:
    RecordListing(Connection& conn, PageSet& pages, const NodeState& nodes, const Options& options);
    RecordListing(const RecordListing&) = delete;
    ~RecordListing();
    RecordListing& operator=(const RecordListing&) = delete;
    // Back to the state of a new listing: nothing listed, page 1, the default sort (the
    // page set and the hooks are kept).
    void Reset();

    // Lists the records of a node given its all tags (inner only when the option
    // subnode is on). Each Show returns false when the listing could not be shown (the
    // user was told).
    bool ShowNodeRecords(const QString& tags);
    // Lists the records of InnerRecordIds(current node), newest first.
    bool ShowInnerRecords();
    // Lists the node and all its sub-nodes.
    bool ShowIncludeSubRecords();
    // The listing of the node opened last (by the three Shows above), narrowed to the
    // records whose name or tags contain text; the whole listing again for an empty text.
    bool ShowNodeFiltered(const QString& text);
    // Lists the source on show again, as the catalogue is now (records added, changed or
    // removed by another program), on the same page (the last, when it has fewer pages
    // now) and in the same order.
    bool Reload();
    // Counts the listing on show again (after changes this program made), so that the
    // record count follows them: the listing is reloaded when its count changed; the rows
    // on show stay as they are otherwise. With a countInBackground hook the count runs on
    // a worker thread and CountReady() takes it; without one, here. A count that fails is
    // reported as "无法打开表。(…)" and the listing stays as it is.
    void Recount();
    // Lists a source and shows its page 1. False (after "无法打开mytable表。" or
    // "无法打开表。") when it could not be listed.
    bool Show(const ListingSource& source);
    // -1 first, -2 previous, -3 next, -4 last, n > 0 page n. Every fill reads the page's
    // rows from the catalogue again: after records were changed or deleted,
    // FillPage(CurrentPage()) shows them as they are now (deleted ones leave the listing).
    // False when the page could not be read (the user was told).
    bool FillPage(int request);
    // FillPage(CurrentPage()).
    bool Refresh();
    // Header click on column (0..10): toggles ASC/DESC and re-sorts. False when the sort or
    // its page 1 failed (the user was told).
    bool SortByColumn(int column);
    // Sorts by column (0..10) in the given direction, as if the header had been clicked
    // until that direction came up; the next click continues the alternation.
    bool SortBy(int column, bool descending);

    // Rows of the page on show: 11 cell texts each, in column order.
    const std::vector<QStringList>& Rows() const { return rows_; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // "当前页 %d / 总页数 %d" of the last fill ("总页数 …" while the count is not known).
    QString PageText() const { return pageText_; }
    // Number of records of the open listing; -1 while a large listing is still being
    // counted (or when none is open). Set with the page text.
    qint64 RecordCount() const { return recordCount_; }
    // "共 %1 条记录(RECORDS)" of the open listing ("共 … 条记录(RECORDS)" while counting,
    // empty when none is open).
    QString RecordCountText() const { return countText_; }
    // Tags of the opened node (text 1011 of the dialog bar).
    QString TagsText() const { return tagsText_; }
    int CurrentPage() const { return currentPage_; }
    // True while page 1 of the listing is awaited from the worker (CountReady shows it).
    bool PageAwaited() const { return pageAwaited_; }
    QString SortSpec() const { return sortSpec_; }

    // The id cell of a listed row; empty when row is out of range.
    QString RecordIdOfRow(int row) const;

    // Adds a row at the top (imports do, whatever node is listed).
    void InsertRowAtTop(const QStringList& cells);
    void Clear();

    // Called after every change of Rows(), PageText() or TagsText().
    std::function<void()> changed;
    // Called with the text of each failure, in the order they happen, on the listing's
    // thread: "无法打开mytable表。(…)" when a listing could not be opened, "无法打开表。(…)"
    // when a page or the count could not be read, the engine's reason alone for a row
    // or a sort. Shown as a message captioned "info".
    std::function<void(const QString& text)> failed;

    // The page count of a large listing. Without a hook it is computed right after page 1
    // has been shown (and `changed` called), on the calling thread. With a hook it is
    // computed on a worker thread with its own connection; the hook is called on that
    // thread when it is done and must not block: it arranges for CountReady() to run on
    // the listing's thread.
    std::function<void()> countInBackground;
    // Takes what the background count found: page 1 when it was awaited (a listing whose
    // page 1 no walk serves: the worker finds it before the whole list), then the count,
    // which updates the page text. Does nothing while the count still runs and page 1 is
    // not awaited (a call meant for an earlier listing).
    void CountReady();
    // The same, waiting for the count (or making it here when no worker makes it). False
    // when the count or the awaited page failed (the user was told).
    bool WaitForCount();
    // Waits for page 1 only, where it was awaited: the count may still be running after.
    // False when the page failed (the user was told).
    bool WaitForFirstPage();

private:
    bool OpenListing(const ListingSource& source);
    // Shows page 1 of the listing just opened (or sorted), or awaits it from the worker.
    bool ShowFirstPage(bool opened);
    bool AdoptCount();
    struct RecountJob;
    // Takes a finished recount: reloads the listing when its count changed, reports a
    // failure. False when none has finished.
    bool AdoptRecount();
    void RecountDone(qint64 now);
    void CancelRecount();
    bool FillPageRows(int request);
    void UpdatePageText();
    void Notify();
    void Fail(const QString& text);

    bool ShowNode(const ListingSource& source);

    Connection& conn_;
    PageSet& pages_;
    const NodeState& nodes_;
    const Options& options_;
    std::vector<QStringList> rows_;
    std::optional<ListingSource> source_;  // the listing on show
    unsigned listingNumber_ = 0;           // counts the listings opened
    std::shared_ptr<RecountJob> recount_;
    std::optional<ListingSource> nodeSource_;  // the node listing opened last, unfiltered
    bool sorted_ = false;                      // sortSpec_ applies to the listing on show
    QString pageText_;
    QString countText_;
    qint64 recordCount_ = -1;
    QString tagsText_;
    int currentPage_ = 1;
    bool sortDesc_ = true;
    bool pageAwaited_ = false;  // page 1 comes with the worker's whole list
    QString sortSpec_;
};

// A listing's failure message ("无法打开mytable表。", "无法打开表。") with the engine's
// reason after it in brackets.
QString ListingFailureText(const QString& text, const DbError& e);

// Field map of the current row of a recordset (all fields, VariantToText). Throws DbError.
RecordMap RowToMap(PageSet& set);
// Field map of "select * from main where id=" + id on conn; empty when there is no row.
// Throws DbError.
RecordMap RecordById(const QString& id, Connection& conn);

}  // namespace korvel
