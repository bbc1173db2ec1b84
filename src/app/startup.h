#pragma once
// Start-up without the window: column names, filter lists, settings, the catalogue
// opened once, and the creation of a new working folder.

#include <QString>
#include <QStringList>

#include "store/schema.h"

namespace korvel {

// The version text shown in the title.
inline const QString kVersionText = QStringLiteral("V5.95beta");
inline const QString kCatalogueFile = QStringLiteral("kv.kdb");

// Loads the session's filter lists and settings, adds the start-up filter entry, opens
// its catalogue with the fixed connection string and sets the page size to 30.
// On failure returns false with the engine's description in *error; nothing on disk
// is changed.
class Session;
bool StartCore(Session& s, QString* error);

enum class InitResult { Created, FilledEmpty, Existing, Failed };
// Creates kv.kdb (empty catalogue) and a default filter.xml in the working folder when
// they are missing; a zero-byte kv.kdb is made into a catalogue (FilledEmpty). Never
// overwrites a file with content.
// A catalogue made here also gets the fitted list column widths in config.cnf (keys the
// file has already are kept).
InitResult InitWorkingDirectory(QString* error);

// `korvel DIR`: makes DIR the working folder. A missing DIR is created with an empty
// catalogue (InitWorkingDirectory); an existing one is entered as it is. False with a
// message in *error when DIR is a file or cannot be created or entered (the working
// folder is then unchanged, unless the failure came after entering a new folder).
bool EnterWorkingDirectory(const QString& dir, QString* error);

}  // namespace korvel
