#include "session/session.h"

namespace korvel {

Session::Session() : list(catalogue, pageset, nodes, options, console_), prompter_(&console_) {}

Session::~Session() {
    pageset.Close();
    catalogue.Close();
}

void Session::SetPrompter(Prompter* p) {
    prompter_ = p ? p : &console_;
    list.SetPrompter(*prompter_);
}

}  // namespace korvel
