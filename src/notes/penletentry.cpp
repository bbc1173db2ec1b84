#include "notes/penletentry.h"

#include "base/fsutil.h"
#include "base/workfolder.h"
#include "base/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace korvel {

QString PenletEntryPath() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/applications/korvel-penlet.desktop"));
}

QString DesktopExecArgument(const QString& arg) {
    QString q = QStringLiteral("\"");
    for (QChar c : arg) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') q += u'\\';
        if (c == u'%') q += u'%';
        q += c;
    }
    q += u'"';
    return q;
}

QString DesktopValueText(const QString& value) {
    QString v;
    for (QChar c : value) {
        if (c == u'\\')
            v += QStringLiteral("\\\\");
        else if (c == u'\n')
            v += QStringLiteral("\\n");
        else if (c == u'\t')
            v += QStringLiteral("\\t");
        else if (c == u'\r')
            v += QStringLiteral("\\r");
        else
            v += c;
    }
    return v;
}

QString PenletEntryText(const QString& penletProgram, const QString& workDir) {
    const QString exec = DesktopExecArgument(penletProgram) + QStringLiteral(" --dir ") + DesktopExecArgument(workDir) +
                         QStringLiteral(" %f");
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Version=1.0\n"
               "Name=") +
           kPenletEntryName +
           QStringLiteral(
               "\n"
               "Exec=") +
           DesktopValueText(exec) +
           QStringLiteral(
               "\n"
               "MimeType=text/plain;\n"
               "NoDisplay=true\n"
               "Terminal=false\n");
}

QString PenletProgramPath() { return QCoreApplication::applicationDirPath() + u'/' + kPenletProgram; }

bool WritePenletEntry(QString* error) {
    const QString program = PenletProgramPath();
    const QString work = CurrentFolderPath();
    // A desktop entry is UTF-8 text: a folder whose name is not cannot be written into it.
    if (PathHasRawBytes(program) || PathHasRawBytes(work)) {
        *error = QStringLiteral(
                     "路径不是 UTF-8 文本，无法写入桌面项(a path that is not UTF-8 cannot go "
                     "into a desktop entry): ") +
                 work;
        return false;
    }
    if (!QFileInfo(program).isExecutable()) {
        *error = QStringLiteral("找不到笔记工具(the note tool is missing): ") + program;
        return false;
    }
    const QString path = PenletEntryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("无法创建文件夹(cannot create the folder): ") + QFileInfo(path).absolutePath();
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(PenletEntryText(program, work).toUtf8()) < 0 || !file.commit()) {
        *error = QStringLiteral("无法写入桌面项(cannot write the desktop entry) ") + path + QStringLiteral(": ") +
                 file.errorString();
        return false;
    }
    return true;
}

bool RemovePenletEntry(QString* error) {
    const QString path = PenletEntryPath();
    QFile file(path);
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) return true;
    if (!file.remove()) {
        *error = QStringLiteral("无法删除桌面项(cannot remove the desktop entry) ") + path + QStringLiteral(": ") +
                 file.errorString();
        return false;
    }
    return true;
}

bool SetPenletEntry(Options& options, bool on, QString* error) {
    if (!(on ? WritePenletEntry(error) : RemovePenletEntry(error))) return false;
    options.penletreg = on;
    if (!WriteSetting(QStringLiteral("flag"), QStringLiteral("g_penletreg_flag"),
                      on ? QStringLiteral("1") : QStringLiteral("0"))) {
        *error = QStringLiteral("无法写入设置文件(cannot write the settings file) ") + kSettingsFile;
        return false;
    }
    return true;
}

}  // namespace korvel
