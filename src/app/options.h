#pragma once
// The option commands that ask for a value: PAGE SET and LANGUAGE SET.

namespace korvel {

class Session;

// Asks for the page size of the record list (CInputCommonDialog, preset with the current
// size); OK sets it, limited to 1..10000, from the next page fill on. Never stored.
void PageSetCommand(Session& s);

// Asks for the language (ComboxDlg: AUTO, GBK, BIG5). The code is written to config.cnf
// however the dialog was closed; without OK it stays as it was.
void LanguageSetCommand(Session& s);

}  // namespace korvel
