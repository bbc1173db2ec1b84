#include "gui/ContentHitsView.h"

#include "list/recordlist.h"
#include "search/snippet.h"
#include "store/schema.h"

#include <QUrl>

namespace korvel {

namespace {
constexpr int kSnippetWidth = 120;
constexpr int kNameColumn = 0;
constexpr int kDirColumn = 2;

// The snippet's text with its marks as highlighted runs, everything else escaped.
QString MarkedHtml(const ContentSnippet& s) {
    QString html;
    int at = 0;
    for (const auto& [start, length] : s.marks) {
        html += s.text.mid(at, start - at).toHtmlEscaped();
        html += QStringLiteral("<span style=\"background-color:#ffd84d; font-weight:bold\">") +
                s.text.mid(start, length).toHtmlEscaped() + QStringLiteral("</span>");
        at = start + length;
    }
    return html + s.text.mid(at).toHtmlEscaped();
}
}  // namespace

ContentHitsView::ContentHitsView(const RecordListing& list, QWidget* parent) : QTextBrowser(parent), list_(list) {
    setObjectName(QStringLiteral("contenthits"));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setMinimumHeight(120);
    setToolTip(QStringLiteral("内容搜索结果(CONTENT HITS)"));
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        bool ok = false;
        const int row = url.path().toInt(&ok);
        if (url.scheme() == QLatin1String("row") && ok) Q_EMIT rowClicked(row);
    });
    hide();
}

void ContentHitsView::ShowHits(const QString& query) {
    query_ = query;
    plain_.clear();
    QString html = QStringLiteral("<html><body>");
    const std::vector<QStringList>& rows = list_.Rows();
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const QStringList& cells = rows[row];
        const std::optional<ContentSnippet> s =
            RecordContentSnippet(cells.value(kIdColumn).toLongLong(), query, kSnippetWidth);
        html += QStringLiteral(
                    "<p style=\"margin:2px 0 6px 0\"><a href=\"row:%1\"><b>%2</b></a>"
                    " <span style=\"color:#666\">%3</span><br>")
                    .arg(row)
                    .arg(cells.value(kNameColumn).toHtmlEscaped(), cells.value(kDirColumn).toHtmlEscaped());
        if (s) {
            html += MarkedHtml(*s);
            plain_ << s->text;
        } else {
            html += QStringLiteral("<span style=\"color:#999\">(无摘要 no snippet)</span>");
            plain_ << QString();
        }
        html += QStringLiteral("</p>");
    }
    setHtml(html + QStringLiteral("</body></html>"));
    show();
}

void ContentHitsView::Leave() {
    query_.clear();
    plain_.clear();
    clear();
    hide();
}

}  // namespace korvel
