#pragma once
// The six import filter lists of a session, in memory: name patterns kept in the filter
// file as top-level elements file, dir, index, import, fdn, ffn (io/filters.h reads and
// writes the file).

#include <QString>
#include <QStringList>

#include <array>

namespace korvel {

class FilterLists {
public:
    // The elements, in the order the file is usually written.
    static const std::array<QString, 6>& Elements();

    // The list of an element name; an unknown name gives a scratch list of this object
    // that no real list shares (emptied at every such call).
    QStringList& List(const QString& element);
    const QStringList& List(const QString& element) const;

private:
    std::array<QStringList, 6> lists_;
    QStringList scratch_;
};

}  // namespace korvel
