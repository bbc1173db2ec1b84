#pragma once
// The files CREATE INDEX and the content-index job read for records: a record's own file
// resolved through its disk identity or, with the option sysback, the first existing copy.

#include "base/filterlists.h"
#include "base/settings.h"
#include "io/indexing.h"
#include "io/indexjob.h"
#include "store/catalogue.h"

namespace korvel {

// The file indexed for a record: its own path resolved through its disk identity or,
// with useBackups (the setting sysback), the first existing copy (FindUsableCopy).
IndexPathOf RecordIndexPath(bool useBackups, bool byDisk, Connection& conn);

// The options of the content-index job as the program runs it over conn: the index-type
// list of filters, the worker program, records' files as CREATE INDEX finds them (the
// options sysback and band). recheck: see IndexJobOptions.
IndexJobOptions IndexJobOptionsOf(const Options& options, const FilterLists& filters, Connection& conn, bool recheck);

}  // namespace korvel
