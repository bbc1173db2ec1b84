#include "session/session.h"

namespace korvel {

Session::Session() : list(catalogue, pageset, nodes, options), prompter_(&console_) {
    // The listing's failures are shown through whichever prompter is installed when they
    // happen.
    list.failed = [this](const QString& text) {
        prompter().Message(text, QStringLiteral("info"), MsgIcon::Exclamation);
    };
}

Session::~Session() {
    pageset.Close();
    catalogue.Close();
}

void Session::SetPrompter(Prompter* p) { prompter_ = p ? p : &console_; }

}  // namespace korvel
