#include "base/workfolder.h"

#include "base/fsutil.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

namespace korvel {

QString CurrentFolderPath() {
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) return QString();
        buf.resize(buf.size() * 2);
    }
    return DecodePath(QByteArray(buf.data()));
}

QString WorkingFolderNotUtf8Text() {
    const QString here = CurrentFolderPath();
    if (!PathHasRawBytes(here)) return QString();
    return QStringLiteral(
               "工作文件夹的路径不是 UTF-8 文本，无法使用，请改名。(the working folder's path is not "
               "valid UTF-8: Korvel cannot write its settings there; rename the folder): ") +
           here;
}

}  // namespace korvel
