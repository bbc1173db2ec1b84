#pragma once
// What a command came to. Commands return it; the window refreshes by it and korvel-cli
// turns it into its exit status, so that neither has to count the messages shown.

#include <QtGlobal>

namespace korvel {

struct Outcome {
    enum class Kind {
        Done,     // everything asked for was done (also nothing, when nothing was asked)
        Partly,   // some of it: `done` items done, `notDone` not (stopped, or some failed)
        Refused,  // nothing was done: cancelled, or the input was refused (the user was told)
        Failed,   // an error ended it (the user was told)
    };
    Kind kind = Kind::Done;
    qint64 done = 0;
    qint64 notDone = 0;

    static Outcome Finished(qint64 done) { return {Kind::Done, done, 0}; }
    static Outcome Partial(qint64 done, qint64 notDone) { return {Kind::Partly, done, notDone}; }
    static Outcome Refusal() { return {Kind::Refused, 0, 0}; }
    static Outcome Failure(qint64 done = 0) { return {Kind::Failed, done, 0}; }

    // Something was changed (the listing shows it again).
    bool Changed() const { return done > 0; }
};

}  // namespace korvel
