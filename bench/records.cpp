// Record-command benchmark: N records (default 10,000), each with two backup copies, in a
// fresh catalogue; times deleting them all with DeleteRecords beside the engine's own
// "delete from main where id in (...)" + "delete from main4 where recordid in (...)" of
// the same rows in one transaction, and a batch promotion of one copy of every record.
// Every step runs at least three times, interleaved with its baseline.
//
//   bench_records [N] [RUNS]

#include "benchutil.h"
#include "records/backups.h"
#include "benchutil.h"
#include "session/session.h"
#include "records/recordops.h"
#include "store/catalogue.h"

#include <QCoreApplication>
#include <QDir>
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
    const int runs = argc > 2 ? std::max(3, atoi(argv[2])) : 3;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    CreateCatalogue("kv.kdb");
    S().catalogue.Open(kConnectionString);

    std::printf("records %d, each with 2 backup copies; %s\n", n, bench::LoadText().c_str());
    bench::Series promote, del, plain;
    long long deleted = 0;
    int promoted = 0;
    for (int run = 0; run < runs; ++run) {
        QStringList ids = Fill(n);
        promote.Add(bench::Time(
            [&] { promoted = BatchBackupOperation(BatchBackup::Promote, ids, "bak1", "", S().catalogue).records; }));
        del.Add(
            bench::Time([&] { deleted = static_cast<long long>(DeleteRecords(ids, S().catalogue).deleted.size()); }));
        ids = Fill(n);
        const QString list = ids.join(u',');
        plain.Add(bench::Time([&] {
            WriteTransaction tx(S().catalogue);
            ExecuteSql("delete from main where id in (" + list + ")", adCmdTextNoRecords, S().catalogue);
            ExecuteSql("delete from main4 where recordid in (" + list + ")", adCmdTextNoRecords, S().catalogue);
            tx.Commit();
        }));
    }
    std::printf("batch promote: %d records; DeleteRecords: %lld deleted\n", promoted, deleted);
    bench::PrintRow("DeleteRecords", del, "delete where id in", plain);
    bench::PrintAlone("batch promote", promote);
    bench::PrintMachine();
    S().catalogue.Close();

    return 0;
}
