#pragma once
// What ./filter.xml holds now: one list read back through the loader the program uses.

#include "base/filterlists.h"
#include "files/filters.h"

#include <QString>
#include <QStringList>

inline QStringList StoredFilterList(const QString& element) {
    korvel::FilterLists lists;
    korvel::LoadFilterLists(lists);
    return lists.List(element);
}
