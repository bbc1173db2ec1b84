#pragma once
// Below the list, while it shows the hits of a content search from the search box: for
// each record on the page, its name, its path and a snippet of its indexed text with the
// query's words marked. A click on a hit selects its row in the list.

#include <QTextBrowser>

namespace korvel {

class RecordListing;

class ContentHitsView : public QTextBrowser {
    Q_OBJECT
public:
    // The hits of list (the listing of the list pane).
    explicit ContentHitsView(const RecordListing& list, QWidget* parent = nullptr);

    // Shows the snippets of the listing's page on show for query (and the view itself).
    void ShowHits(const QString& query);
    // Hides the view: the list shows something else now.
    void Leave();
    // The query whose hits are on show; empty when the view is not in use.
    QString Query() const { return query_; }
    // The snippet lines on show, as plain text (for tests).
    QStringList SnippetTexts() const { return plain_; }

Q_SIGNALS:
    // A hit was clicked: its row in the list.
    void rowClicked(int row);

private:
    const RecordListing& list_;
    QString query_;
    QStringList plain_;
};

}  // namespace korvel
