#include "app/startup.h"

#include "app/settings.h"
#include "io/filters.h"
#include "store/catalogue.h"
#include "store/pageset.h"

#include <QFileInfo>

namespace korvel {

const QStringList g_column_names = {
    QStringLiteral("name"),     QStringLiteral("findkey"),  QStringLiteral("dir"),
    QStringLiteral("id"),       QStringLiteral("filetype"), QStringLiteral("filesize"),
    QStringLiteral("filedtime"), QStringLiteral("fileinputdtime"), QStringLiteral("vol"),
    QStringLiteral("filedesc"), QStringLiteral("yourid")};

bool StartCore(QString* error) {
    LoadFilterLists();
    ReadSettings();
    AddStartupFilterValue();
    try {
        g_catalogue.Open(kConnectionString);
    } catch (const DbError& e) {
        if (error) *error = e.description();
        return false;
    }
    g_pageset.Close();
    g_pageset.SetPageSize(30);
    return true;
}

InitResult InitWorkingDirectory(QString* error) {
    InitResult result = InitResult::Existing;
    if (!QFileInfo::exists(kCatalogueFile)) {
        try {
            CreateCatalogue(kCatalogueFile);
            result = InitResult::Created;
        } catch (const DbError& e) {
            if (error) *error = e.description();
            return InitResult::Failed;
        }
    }
    if (!QFileInfo::exists(kFilterFile)) WriteDefaultFilterFile(kFilterFile);
    return result;
}

}  // namespace korvel
