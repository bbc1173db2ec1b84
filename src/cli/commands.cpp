// Helpers shared by the korvel-cli commands: the answering prompter and the fields of
// catalogue texts.
#include "cli/commands.h"

#include "session/session.h"

#include <cstdio>

namespace korvel::cli {

CliPrompter::CliPrompter(Session& s, int answer, const QString& errorPrefix)
    : session_(s), base_(s.prompter()), answer_(answer), errorPrefix_(errorPrefix) {
    s.SetPrompter(this);
}

CliPrompter::~CliPrompter() { session_.SetPrompter(&base_); }

void CliPrompter::Message(const QString& text, const QString& caption, MsgIcon icon) {
    if (icon == MsgIcon::Exclamation && !errorPrefix_.isEmpty())
        Fail(errorPrefix_ + text);
    else
        base_.Message(text, caption, icon);
}

int CliPrompter::FourAnswer(const QString& text, int preset) {
    const int a = answer_ ? answer_ : preset;
    std::fprintf(stderr, "Dialog: %s -> %d\n", text.toUtf8().constData(), a);
    return a;
}

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
