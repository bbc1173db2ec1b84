#pragma once
// Advanced search: records of main found by any combination of name, keywords, path,
// file time range, cataloguing time range, description, own number and document content.
//
// The condition is built in a fixed order (name, path, file time from/to, record time
// from/to, description, own number, then one condition per keyword) with every typed text
// bound as a parameter: a quote is a quote, while "%" and "_" keep their LIKE meaning.
// Without a content text the record list shows the found records by name; with one, the
// found records are the candidates of the content ranking (RankCandidates) and the list
// shows the ranked ones best first.

#include "base/prompter.h"
#include "list/recordlist.h"

#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

namespace korvel {

// The ten texts of the dialog searchdialog, each used as typed.
struct AdvancedSearchFields {
    QString name;
    QString keywords;  // blank-separated; each non-empty piece is one condition
    QString path;
    QString fileFrom, fileTo;      // "%Y-%m-%d"; compared as times with filedtime
    QString recordFrom, recordTo;  // the same with fileinputdtime
    QString content;
    QString desc;
    QString ownNumber;
};

struct SearchCondition {
    QString where;                 // "1=1" followed by " and ..." conditions with ?s
    std::vector<QVariant> params;  // the values of the ?s, in order
};

SearchCondition BuildSearchCondition(const AdvancedSearchFields& fields);

// The found records of main, ordered by name.
ListingSource AdvancedSearchListing(const AdvancedSearchFields& fields);

// The dialog's fields and back.
DialogFields ToDialogFields(const AdvancedSearchFields& fields);
AdvancedSearchFields FromDialogFields(const DialogFields& fields);

}  // namespace korvel
