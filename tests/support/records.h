#pragma once
// Records and backup rows for the record-command tests: files made in the working folder,
// rows written with bound values, the listing of every record, and a fake disk mounted
// (in a substitute mount table) at a folder of the working folder.

#include "base/fsutil.h"
#include "support/state.h"
#if __has_include("list/recordlist.h")
#include "list/recordlist.h"
#endif
#include "platform/volumes.h"
#include "store/catalogue.h"
#include "store/volroots.h"
#include "tree/nodes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace testrec {

// Writes bytes to a file (made with its folders); the path may hold names that are not UTF-8.
inline void WriteFile(const QString& path, const QByteArray& bytes) {
    const QString folder = path.left(path.lastIndexOf(u'/'));
    std::filesystem::create_directories(korvel::FsPath(folder));
    QFile f(QFile::decodeName(korvel::EncodePath(path)));
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

// Inserts a record with these values and returns its id text.
inline QString AddRecord(qint64 id, const QString& name, const QString& dir, const QString& vol = "0",
                         const QString& tags = " t  ") {
    korvel::Statement st(S().catalogue,
                         "insert into main(name,findkey,dir,id,filetype,filesize,filedtime,fileinputdtime,vol)"
                         " values(?1,?2,?3,?4,'文件','1 K','2001-01-01 00:00:00','2024-01-01 1:0:0',?5)");
    st.Bind(1, name);
    st.Bind(2, tags);
    st.Bind(3, dir);
    st.Bind(4, id);
    st.Bind(5, vol);
    st.Step();
    return QString::number(id);
}

inline void AddCopyRow(qint64 id, const QString& path, const QString& vol) {
    korvel::Statement st(S().catalogue, "insert into main4(recordid,filepath,vol) values(?1,?2,?3)");
    st.Bind(1, id);
    st.Bind(2, path);
    st.Bind(3, vol);
    st.Step();
}

// Every row of a query as "a|b|c" texts (VariantToText), in the query's order.
inline QStringList Dump(const QString& sql) {
    QStringList out;
    korvel::Statement st(S().catalogue, sql);
    while (st.Step()) {
        QStringList cells;
        for (int i = 0; i < st.ColumnCount(); ++i) cells << korvel::VariantToText(st.Column(i));
        out << cells.join(u'|');
    }
    return out;
}

#if __has_include("list/recordlist.h")
// Lists every record of the catalogue (the root node with its sub-nodes), by name (for
// tests of the listing's layer and above).
inline void ListAll() {
    ReloadNodes(S().nodes, S().catalogue);
    S().nodes.current = "0";
    S().list.ShowIncludeSubRecords();
}
#endif

// A disk with identity kDiskId mounted at `mountPoint` in a substitute mount table (the
// by-uuid link leads to /dev/null, device 1:3). Put back afterwards.
struct FakeDisk {
    static constexpr quint32 kSerial = 0x12345678u;
    QString id = QString::number(kSerial);
    QTemporaryDir tmp;
    explicit FakeDisk(const QString& mountPoint) {
        const QString links = tmp.path() + "/by-uuid";
        QDir().mkdir(links);
        QFile::link("/dev/null", links + "/12345678-9abc-def0-1234-56789abcdef0");
        QFile table(tmp.path() + "/mountinfo");
        if (table.open(QIODevice::WriteOnly))
            table.write("20 1 0:40 / / rw - overlay overlay rw\n22 20 1:3 / " + mountPoint.toUtf8() +
                        " rw - ext4 /dev/loop9 rw\n");
        table.close();
        korvel::SetMountInfoPath(table.fileName());
        korvel::SetDiskByUuidDir(links);
    }
    ~FakeDisk() {
        korvel::SetMountInfoPath(QString());
        korvel::SetDiskByUuidDir(QString());
        S().catalogue.ForgetRememberedRoots();
    }
};

}  // namespace testrec
