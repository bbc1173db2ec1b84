#pragma once
// A session: everything one front end holds open on one catalogue. The window, korvel-cli
// and the note tool each make one; every command takes it, and the functions below a
// command take only the part they need. Two sessions share nothing but the machine's own
// caches (the mount table, the guard of open catalogue files).

#include "base/filterlists.h"
#include "base/importpresets.h"
#include "base/longop.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "list/recordlist.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "tree/nodes.h"

namespace korvel {

// One stop token and status queue per long operation, so that two running at once (an
// import and an index run) never stop or report for each other.
struct LongOperations {
    LongOperation import;     // ADD REC TREE, ADD NODE TREE
    LongOperation index;      // CREATE INDEX
    LongOperation update;     // UPDATE REC
    LongOperation exportRun;  // the exports
    LongOperation batch;      // the batch record commands
    LongOperation search;     // content and advanced search
    LongOperation sync;       // record and node synchronisation
    LongOperation health;     // check, moved files and duplicates
};

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The catalogue connection (opened by StartCore).
    Connection catalogue;
    // The paging recordset of the record listing.
    PageSet pageset;
    // The node map with the current and the copied node.
    NodeState nodes;
    // The option flags and the language (ReadSettings).
    Options options;
    // The import dialogs' last answers.
    ImportPresets presets;
    // The six filter lists (LoadFilterLists).
    FilterLists filters;
    LongOperations ops;
    // The record listing of the list pane (reads catalogue into pageset).
    RecordListing list;

    // Every question and message goes through it: the installed prompter, or the console
    // prompter of the session when none is.
    Prompter& prompter() const { return *prompter_; }
    // Installs p (not owned); nullptr restores the console prompter.
    void SetPrompter(Prompter* p);

private:
    ConsolePrompter console_;
    Prompter* prompter_;
};

}  // namespace korvel
