#pragma once
// The commands of the SYSTEM menu: the option flags, the notes entry of the file manager,
// PAGE SET and LANGUAGE SET. (The six filter lists are edited in the filter dialog of the
// window, which writes each change at once.)

#include "session/outcome.h"

#include <QString>

#include <optional>

namespace korvel {

class Session;

// Start-up of the window: when kv.kdb is missing, asks whether to create a new empty
// catalogue here (Yes creates it); then StartCore. A failure is shown with caption "警告"
// and the start failed: the process is to end without a window.
Outcome StartWithPrompts(Session& s);

// A flag of the menu by its settings key ("sysback", "g_same_flag", ...): switched to `on`,
// or flipped when no value is given, and written to config.cnf (a failed write leaves the
// new value for this run). Refused for a key that names no flag.
Outcome OptionFlagCommand(Session& s, const QString& key, std::optional<bool> on = std::nullopt);

// The notes option: switching on writes the file manager's entry, switching off removes
// it; the flag changes and is stored only when that worked, otherwise the reason is shown
// with caption "警告" and the command failed. Flips the flag when no value is given.
Outcome PenletOptionCommand(Session& s, std::optional<bool> on = std::nullopt);

// Asks for the page size of the record list (CInputCommonDialog, preset with the current
// size) unless one is given; sets it, limited to 1..10000, from the next page fill on.
// Never stored.
Outcome PageSetCommand(Session& s, const std::optional<QString>& size = std::nullopt);

// Asks for the language (ComboxDlg: AUTO, GBK, BIG5) unless a choice is given. The code is
// written to config.cnf however the dialog was closed; without OK it stays as it was.
Outcome LanguageSetCommand(Session& s, const std::optional<QString>& choice = std::nullopt);

}  // namespace korvel
