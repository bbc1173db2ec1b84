#pragma once
// A fresh temporary working folder holding a new catalogue kv.kdb, open in S().catalogue for
// the life of the object. At the end the page set and the catalogue are closed and the
// process returns to the previous folder.

#include "store/catalogue.h"
#include "support/state.h"
#include "store/pageset.h"
#include "support/workdir.h"

struct TempCatalogue {
    TempWorkDir work;
    TempCatalogue() {
        korvel::CreateCatalogue(QStringLiteral("kv.kdb"));
        S().catalogue.Open(korvel::kConnectionString);
    }
    ~TempCatalogue() {
        S().pageset.Close();
        S().catalogue.Close();
    }
    TempCatalogue(const TempCatalogue&) = delete;
    TempCatalogue& operator=(const TempCatalogue&) = delete;
    QString path() const { return work.path(); }
};
