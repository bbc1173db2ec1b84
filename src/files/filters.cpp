#include "files/filters.h"

#include "files/markup.h"

namespace korvel {

namespace {

const QString kValue = QStringLiteral("value");

// The three lists of the import side take an added entry in memory even when the file
// cannot take it (missing element, entry already stored).
bool IsImportSide(const QString& element) {
    return element == QLatin1String("import") || element == QLatin1String("fdn") || element == QLatin1String("ffn");
}

// Every `value` text of the first top-level element of that name; empty when missing.
QStringList ValuesOf(MarkupDocument& doc, const QString& element) {
    QStringList out;
    doc.RewindToTop();
    if (!doc.NextElement(element)) return out;
    while (doc.NextChildElement(kValue)) out << doc.ChildElementText();
    return out;
}

// Positions doc on the first `value` child of the main element with exactly text.
bool FindValue(MarkupDocument& doc, const QString& text) {
    while (doc.NextChildElement(kValue))
        if (doc.ChildElementText() == text) return true;
    return false;
}

// Adds text to the element of the file when it lacks it; true when the file changed.
bool AddToFile(const QString& element, const QString& text) {
    MarkupDocument doc;
    doc.LoadFile(kFilterFile);
    doc.RewindToTop();
    if (!doc.NextElement(element)) return false;
    if (FindValue(doc, text)) return false;
    doc.RewindToTop();
    doc.NextElement(element);
    if (!doc.AppendChildElement(kValue, text)) return false;
    doc.SaveFile(kFilterFile);
    return true;
}

}  // namespace

QString FilterElementOfMode(int mode) {
    switch (mode) {
        case 0: return QStringLiteral("file");
        case 1: return QStringLiteral("dir");
        case 5: return QStringLiteral("import");
        case 7: return QStringLiteral("fdn");
        case 8: return QStringLiteral("ffn");
        default: return QStringLiteral("index");
    }
}

bool MatchesFilterList(const QString& name, const QStringList& list) {
    for (const QString& entry : list) {
        const qsizetype star = entry.indexOf(u'*');
        if (star < 0) {
            if (name == entry) return true;
        } else if (name.endsWith(QStringView(entry).mid(star + 1))) {
            return true;
        }
    }
    return false;
}

bool FilteredOut(const QString& name, bool filterFlagOn, const QStringList& skipList, const QStringList& onlyList) {
    return filterFlagOn ? MatchesFilterList(name, skipList) : !MatchesFilterList(name, onlyList);
}

void LoadFilterLists(FilterLists& lists) {
    MarkupDocument doc;
    doc.LoadFile(kFilterFile);  // a missing or broken file leaves the document empty
    for (const QString& element : FilterLists::Elements()) lists.List(element) = ValuesOf(doc, element);
}

void AddFilterValue(FilterLists& lists, const QString& element, const QString& text) {
    if (text.isEmpty()) return;
    const bool changed = AddToFile(element, text);
    if (changed || IsImportSide(element)) lists.List(element).append(text);
}

void RemoveFilterValue(FilterLists& lists, const QString& element, const QString& text) {
    MarkupDocument doc;
    doc.LoadFile(kFilterFile);
    doc.RewindToTop();
    if (!doc.NextElement(element)) return;
    if (!FindValue(doc, text)) return;
    lists.List(element).removeOne(text);
    doc.RemoveChildElement();
    if (IsImportSide(element)) {
        while (FindValue(doc, text)) doc.RemoveChildElement();
    }
    doc.SaveFile(kFilterFile);
}

void AddStartupFilterValue() { AddToFile(QStringLiteral("dir"), QStringLiteral("test")); }

bool WriteDefaultFilterFile(const QString& path) {
    struct Defaults {
        const char* element;
        QStringList values;
    };
    // clang-format off
    const Defaults defaults[] = {
        // Files skipped by the folder import: temporary, backup and desktop-helper files.
        {"file", {QStringLiteral("*.tmp"), QStringLiteral("*.temp"), QStringLiteral("*~"),
                  QStringLiteral("*.bak"), QStringLiteral("*.swp"), QStringLiteral(".DS_Store"),
                  QStringLiteral("Thumbs.db"), QStringLiteral("desktop.ini"),
                  QStringLiteral(".directory")}},
        // Folders not walked: version control, caches and trash.
        {"dir", {QStringLiteral(".git"), QStringLiteral(".svn"), QStringLiteral(".hg"),
                 QStringLiteral(".bzr"), QStringLiteral("CVS"), QStringLiteral("_darcs"),
                 QStringLiteral("__pycache__"), QStringLiteral("node_modules"),
                 QStringLiteral(".cache"), QStringLiteral(".Trash"),
                 QStringLiteral("$RECYCLE.BIN")}},
        // Files whose content the indexer reads: every kind it has an extractor for
        // (DocumentKind), compressed ones too, and the usual text files without a suffix.
        {"index", {QStringLiteral("*.txt"), QStringLiteral("*.md"), QStringLiteral("*.markdown"),
                   QStringLiteral("*.rst"), QStringLiteral("*.csv"), QStringLiteral("*.log"),
                   QStringLiteral("*.html"), QStringLiteral("*.htm"), QStringLiteral("*.xhtml"),
                   QStringLiteral("*.epub"), QStringLiteral("*.rtf"), QStringLiteral("*.doc"),
                   QStringLiteral("*.docx"), QStringLiteral("*.pdf"), QStringLiteral("*.ppt"),
                   QStringLiteral("*.pptx"), QStringLiteral("*.xls"), QStringLiteral("*.xlsx"),
                   QStringLiteral("*.odt"), QStringLiteral("*.odp"), QStringLiteral("*.ods"),
                   QStringLiteral("*.gz"), QStringLiteral("README"), QStringLiteral("LICENSE"),
                   QStringLiteral("COPYING"), QStringLiteral("CHANGELOG"), QStringLiteral("NEWS"),
                   QStringLiteral("AUTHORS"), QStringLiteral("INSTALL"), QStringLiteral("TODO")}},
        // Project files: a folder holding one is catalogued as a whole as well.
        {"import", {QStringLiteral("*.sln"), QStringLiteral("pom.xml"),
                    QStringLiteral("package.json"), QStringLiteral("Cargo.toml")}},
        // The only folders walked while the folder filter is off.
        {"fdn", {QStringLiteral("Documents"), QStringLiteral("documents"),
                 QStringLiteral("Docs"), QStringLiteral("docs"), QStringLiteral("文档"),
                 QStringLiteral("Desktop"), QStringLiteral("桌面")}},
        // The only files imported while the file filter is off: documents.
        {"ffn", {QStringLiteral("*.txt"), QStringLiteral("*.doc"), QStringLiteral("*.docx"),
                 QStringLiteral("*.pdf"), QStringLiteral("*.ppt"), QStringLiteral("*.pptx"),
                 QStringLiteral("*.xls"), QStringLiteral("*.xlsx"), QStringLiteral("*.odt"),
                 QStringLiteral("*.odp"), QStringLiteral("*.ods"), QStringLiteral("*.md"),
                 QStringLiteral("*.rtf"), QStringLiteral("*.csv")}},
    };
    // clang-format on
    MarkupDocument doc;
    for (const auto& d : defaults) {
        doc.RewindToTop();
        if (!doc.AppendElement(QString::fromLatin1(d.element), QString())) return false;
        for (const QString& v : d.values) doc.AppendChildElement(kValue, v);
    }
    return doc.SaveFile(path);
}

}  // namespace korvel
