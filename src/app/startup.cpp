#include "app/startup.h"

#include "base/fsutil.h"
#include "base/workfolder.h"
#include "base/settings.h"
#include "files/filters.h"
#include "io/indexfolders.h"
#include "store/catalogue.h"
#include "session/session.h"
#include "store/pageset.h"

#include <QDir>
#include <QFileInfo>

namespace korvel {

bool StartCore(Session& s, QString* error) {
    const QString notUtf8 = WorkingFolderNotUtf8Text();
    if (!notUtf8.isEmpty()) {
        if (error) *error = notUtf8;
        return false;
    }
    LoadFilterLists(s.filters);
    ReadSettings(s.options);
    AddStartupFilterValue();
    try {
        s.catalogue.Open(kConnectionString);
    } catch (const DbError& e) {
        if (error) *error = e.description();
        return false;
    }
    // Index folders that a killed delete left behind go now.
    SettleIndexFolders(s.catalogue);
    s.pageset.Close();
    s.pageset.SetPageSize(30);
    return true;
}

InitResult InitWorkingDirectory(QString* error) {
    const QString notUtf8 = WorkingFolderNotUtf8Text();
    if (!notUtf8.isEmpty()) {
        if (error) *error = notUtf8;
        return InitResult::Failed;
    }
    InitResult result = InitResult::Existing;
    const QFileInfo catalogue(kCatalogueFile);
    // A zero-byte kv.kdb is no catalogue (nothing can use it): it is made into one, like
    // a missing file. A read-only one is left alone.
    const bool empty = catalogue.exists() && catalogue.isFile() && catalogue.size() == 0;
    const bool anyWriteBit = catalogue.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
    if (empty && (!catalogue.isWritable() || !anyWriteBit)) {
        if (error)
            *error = QStringLiteral(
                         "%1 是一个只读的空文件，无法在其中创建目录。(kv.kdb is an empty "
                         "read-only file; make it writable or remove it)")
                         .arg(catalogue.absoluteFilePath());
        return InitResult::Failed;
    }
    if (!catalogue.exists() || empty) {
        try {
            CreateCatalogue(kCatalogueFile);
            result = empty ? InitResult::FilledEmpty : InitResult::Created;
        } catch (const DbError& e) {
            if (error) *error = e.description();
            return InitResult::Failed;
        }
    }
    if (!QFileInfo::exists(kFilterFile)) WriteDefaultFilterFile(kFilterFile);
    // A new working folder gets list columns that show their usual contents whole; the
    // widths a config.cnf holds already stay as they are.
    if (result != InitResult::Existing) WriteFittedColumnWidths();
    return result;
}

bool EnterWorkingDirectory(const QString& dir, QString* error) {
    const QFileInfo info(dir);
    if (info.exists() && !info.isDir()) {
        if (error) *error = QStringLiteral("%1 不是文件夹。(not a folder)").arg(info.absoluteFilePath());
        return false;
    }
    const bool created = !info.exists();
    if (created && !QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("无法创建文件夹 %1。(cannot create the folder)").arg(info.absoluteFilePath());
        return false;
    }
    if (!QDir::setCurrent(dir)) {
        if (error) *error = QStringLiteral("无法进入文件夹 %1。(cannot enter the folder)").arg(info.absoluteFilePath());
        return false;
    }
    if (created && InitWorkingDirectory(error) == InitResult::Failed) return false;
    return true;
}

}  // namespace korvel
