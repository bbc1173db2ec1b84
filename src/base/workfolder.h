#pragma once
// The working folder as the catalogue's home: its path with every byte kept, and whether
// Korvel can keep its files there.

#include <QString>

namespace korvel {

// The working folder's path in DecodePath's form (QDir::currentPath() loses the bytes of
// a name that is not UTF-8); empty when it cannot be read.
QString CurrentFolderPath();

// Empty when the working folder's path is UTF-8 text; otherwise the message that says it
// cannot be used: files named relative to such a folder (settings, filter file) cannot
// be written through Qt, nor the folder put into a desktop entry.
QString WorkingFolderNotUtf8Text();

}  // namespace korvel
