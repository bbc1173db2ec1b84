#pragma once
// A small in-memory markup document for the filter file: several top-level elements,
// UTF-8 in and out, entity handling, navigation by a current position (parent, main
// element, child element) and in-place editing. Built on pugixml.

#include <QString>

#include <memory>

namespace korvel {

class MarkupDocument {
public:
    MarkupDocument();
    ~MarkupDocument();
    MarkupDocument(const MarkupDocument&) = delete;
    MarkupDocument& operator=(const MarkupDocument&) = delete;

    // Reads and parses a file. True when the file could be read, also when it is not
    // well-formed (the findings are in ResultText()). A file that cannot be read leaves
    // the document unchanged.
    bool LoadFile(const QString& path);
    // Parses a text as the document (replaces the current one).
    void SetDoc(const QString& text);
    // Writes the document as UTF-8 (no byte-order mark). True when all of it was written.
    bool SaveFile(const QString& path);
    // The document as text, as SaveFile writes it.
    QString GetDoc() const;
    // The load report and the well-formedness findings of the last parse, joined by ", ".
    QString ResultText() const { return result_; }

    // Position before the first top-level element.
    void RewindToTop();
    // Next element named name among the siblings at the current level; true when found.
    bool NextElement(const QString& name);
    // Next element named name among the children of the main element. Without a main
    // element, the first element of the current level becomes the main element first.
    bool NextChildElement(const QString& name);
    // The main element becomes the parent; the position is before its first child.
    bool EnterElement();

    // Text content of the main element / the current child (entities decoded, CDATA as
    // is). An element with child elements has no text.
    QString ElementText() const;
    QString ChildElementText() const;
    QString ElementName() const;

    // Appends an element as the last sibling at the current level; it becomes the main
    // element. An empty text gives an empty-element tag.
    bool AppendElement(const QString& name, const QString& text);
    // Appends an element as the last child of the main element; it becomes the child.
    bool AppendChildElement(const QString& name, const QString& text);
    // Removes the main element; the main position moves to the previous sibling.
    bool RemoveElement();
    // Removes the current child; the child position moves to the previous child.
    bool RemoveChildElement();

private:
    void Parse(const QByteArray& utf8, const QString& report);

    struct Impl;
    std::unique_ptr<Impl> d_;
    QString result_;
};

}  // namespace korvel
