#pragma once
// The session of the running test case: a fresh one is made when a case starts (before its
// fixture) and destroyed when it ends (after its fixture), so no case sees another's
// connection, listing, nodes, options, filter lists or prompter.

#include "session/session.h"

#include <gtest/gtest.h>

#include <memory>

namespace testsession {

inline std::unique_ptr<korvel::Session>& Current() {
    static std::unique_ptr<korvel::Session> session;
    return session;
}

// Installed by the test programs' main.
class PerCase : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override { Current() = std::make_unique<korvel::Session>(); }
    void OnTestEnd(const ::testing::TestInfo&) override { Current().reset(); }
};

}  // namespace testsession

// The session of the running test case.
inline korvel::Session& S() { return *testsession::Current(); }
