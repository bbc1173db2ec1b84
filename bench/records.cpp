// Record-command benchmark: N records (default 10,000), each with two backup copies, in a
// fresh catalogue; times deleting them all in one DeleteRecords, beside a plain
// "delete from main" + "delete from main4" of the same rows in one transaction, and a
// batch promotion of one copy of every record.
//
//   bench_records [N]

#include "records/backups.h"
#include "benchutil.h"
#include "session/session.h"
#include "records/recordops.h"
#include "store/catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace korvel;

namespace {

QStringList Fill(int n) {
    QStringList ids;
    WriteTransaction tx(S().catalogue);
    Statement rec(S().catalogue, "insert into main(name,findkey,dir,id,vol) values(?1,' t ',?2,?3,'0')");
    Statement copy(S().catalogue, "insert into main4(recordid,filepath,vol) values(?1,?2,'0')");
    for (int i = 1; i <= n; ++i) {
        rec.Reset();
        rec.Bind(1, QString("r%1").arg(i));
        rec.Bind(2, QString("/d/r%1").arg(i));
        rec.Bind(3, i);
        rec.Step();
        for (int k = 0; k < 2; ++k) {
            copy.Reset();
            copy.Bind(1, i);
            copy.Bind(2, QString("/bak%1/r%2").arg(k).arg(i));
            copy.Step();
        }
        ids << QString::number(i);
    }
    tx.Commit();
    return ids;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    CreateCatalogue("kv.kdb");
    S().catalogue.Open(kConnectionString);

    QElapsedTimer t;
    QStringList ids = Fill(n);
    t.start();
    BatchBackupResult promoted = BatchBackupOperation(BatchBackup::Promote, ids, "bak1", "", S().catalogue);
    const double promote = t.elapsed() / 1000.0;
    t.restart();
    DeleteResult r = DeleteRecords(ids, S().catalogue);
    const double del = t.elapsed() / 1000.0;

    Fill(n);
    t.restart();
    {
        WriteTransaction tx(S().catalogue);
        ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
        ExecuteSql("delete from main4", adCmdTextNoRecords, S().catalogue);
        tx.Commit();
    }
    const double plain = t.elapsed() / 1000.0;
    std::printf("records %d\nbatch promote   %.3f s (%d records)\nDeleteRecords   %.3f s (%lld deleted)\n"
                "plain delete    %.3f s\nratio           %.1f\n",
                n, promote, promoted.records, del, static_cast<long long>(r.deleted.size()), plain,
                plain > 0 ? del / plain : 0.0);
    S().catalogue.Close();
    return 0;
}
