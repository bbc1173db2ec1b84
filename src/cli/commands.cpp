// Helpers shared by the korvel-cli commands that print catalogue texts.
#include "cli/commands.h"

namespace korvel::cli {

QString EscapeField(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        switch (c.unicode()) {
            case '\\': out += QLatin1String("\\\\"); break;
            case '\t': out += QLatin1String("\\t"); break;
            case '\n': out += QLatin1String("\\n"); break;
            case '\r': out += QLatin1String("\\r"); break;
            default: out += c; break;
        }
    }
    return out;
}

QString JoinFields(const QStringList& fields) {
    QStringList escaped;
    escaped.reserve(fields.size());
    for (const QString& f : fields) escaped << EscapeField(f);
    return escaped.join(u'\t');
}

}  // namespace korvel::cli
