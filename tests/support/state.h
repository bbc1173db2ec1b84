#pragma once
// The state of the running test case, S(): a fresh one is made when a case starts (before its
// fixture) and destroyed when it ends (after its fixture), so no case sees another's
// connection, listing, nodes, options, filter lists or prompter.
//
// A test program of the session's layer or above gets a whole Session. A test program of a
// layer below it links only that layer and the ones beneath, so it gets the members of the
// session those layers have, under the session's own names: the options, filter lists,
// import presets and prompter (base), the catalogue and its page set (store), the node map
// (tree) and the record listing (list).

#if __has_include("session/session.h")
#include "session/session.h"
#else
#include "base/filterlists.h"
#include "base/importpresets.h"
#include "base/prompter.h"
#include "base/settings.h"
#if __has_include("store/catalogue.h")
#include "store/catalogue.h"
#include "store/pageset.h"
#endif
#if __has_include("tree/nodes.h")
#include "tree/nodes.h"
#endif
#if __has_include("list/recordlist.h")
#include "list/recordlist.h"
#endif
#endif

#include <gtest/gtest.h>

#include <memory>

namespace testsession {

#if __has_include("session/session.h")
using State = korvel::Session;
#else
class State {
    korvel::ConsolePrompter console_;
    korvel::Prompter* prompter_ = &console_;

public:
    ~State() {
#if __has_include("store/catalogue.h")
        pageset.Close();
        catalogue.Close();
#endif
    }
    State(const State&) = delete;
    State& operator=(const State&) = delete;

#if __has_include("store/catalogue.h")
    korvel::Connection catalogue;
    korvel::PageSet pageset;
#endif
#if __has_include("tree/nodes.h")
    korvel::NodeState nodes;
#endif
    korvel::Options options;
    korvel::ImportPresets presets;
    korvel::FilterLists filters;
#if __has_include("list/recordlist.h")
    korvel::RecordListing list{catalogue, pageset, nodes, options};
    State() {
        // As a session does: the listing's failures go to the prompter installed then.
        list.failed = [this](const QString& text) {
            prompter().Message(text, QStringLiteral("info"), korvel::MsgIcon::Exclamation);
        };
    }
#else
    State() = default;
#endif

    korvel::Prompter& prompter() const { return *prompter_; }
    // Installs p (not owned); nullptr restores the console prompter.
    void SetPrompter(korvel::Prompter* p) { prompter_ = p ? p : &console_; }
};
#endif

inline std::unique_ptr<State>& Current() {
    static std::unique_ptr<State> state;
    return state;
}

// Installed by the test programs' main.
class PerCase : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override { Current() = std::make_unique<State>(); }
    void OnTestEnd(const ::testing::TestInfo&) override { Current().reset(); }
};

}  // namespace testsession

// The state of the running test case.
inline testsession::State& S() { return *testsession::Current(); }
