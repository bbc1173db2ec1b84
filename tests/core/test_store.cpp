#include "store/catalogue.h"
#include "store/pageset.h"
#include "support/workdir.h"

#include <gtest/gtest.h>

using namespace korvel;

TEST(Store, CreateOpenAndNextId) {
    TempWorkDir dir;
    CreateCatalogue("kv.kdb");
    g_catalogue.Open(kConnectionString);
    EXPECT_EQ(NextRecordId(), "1");
    ExecuteSql("insert into main(name,id) values('a',1)", adCmdTextNoRecords);
    ExecuteSql("insert into main(name,id) values('b',2)", adCmdTextNoRecords);
    ExecuteSql("insert into main(name,id) values('c',7)", adCmdTextNoRecords);
    EXPECT_EQ(NextRecordId(), "8");
    g_catalogue.Close();
}
