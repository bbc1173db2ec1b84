#pragma once
// A Prompter for tests: answers come from queues the test fills; every message and
// question is recorded so the test can check what the user would have seen.

#include "base/longop.h"
#include "support/state.h"
#include "base/prompter.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

struct ShownMessage {
    QString text;
    QString caption;
    korvel::MsgIcon icon;
};

class ScriptedPrompter : public korvel::Prompter {
public:
    ScriptedPrompter() { S().SetPrompter(this); }
    ~ScriptedPrompter() override { S().SetPrompter(nullptr); }

    // Answers, consumed in order. An empty queue means "cancel" / "no".
    std::deque<bool> confirms;
    std::deque<bool> yesNos;
    std::deque<std::optional<QString>> nodes;
    std::deque<std::optional<QString>> folders;
    std::deque<std::optional<QStringList>> files;
    std::deque<int> fourAnswers;
    // Dialog name -> queue of answers; an answer edits the preset fields and returns
    // true for OK. An empty queue cancels the dialog.
    std::map<QString, std::deque<std::function<bool(korvel::DialogFields&)>>> dialogs;

    // What was shown.
    std::vector<ShownMessage> messages;
    QStringList questions;
    std::vector<std::pair<QString, korvel::DialogFields>> dialogsShown;
    // Paths handed to the desktop to open, and whether that works (true by default).
    QStringList opened;
    bool desktopWorks = true;
    // The kinds of the file and folder picks asked for, in order.
    std::vector<korvel::PickKind> pickKinds;
    // Status texts taken from the queue while a long operation ran.
    QStringList statusTexts;

    void Message(const QString& text, const QString& caption, korvel::MsgIcon icon) override {
        messages.push_back({text, caption, icon});
    }
    bool Confirm(const QString& text, const QString&) override {
        questions << text;
        return Pop(confirms, false);
    }
    bool AskYesNo(const QString& text, const QString&) override {
        questions << text;
        return Pop(yesNos, false);
    }
    std::optional<QString> PickNode() override { return Pop(nodes, std::optional<QString>()); }
    std::optional<QString> PickFolder(korvel::PickKind kind) override {
        pickKinds.push_back(kind);
        return Pop(folders, std::optional<QString>());
    }
    std::optional<QStringList> PickFiles(korvel::PickKind kind) override {
        pickKinds.push_back(kind);
        return Pop(files, std::optional<QStringList>());
    }
    bool EditDialog(const QString& dialog, korvel::DialogFields& fields) override {
        dialogsShown.push_back({dialog, fields});
        auto& q = dialogs[dialog];
        if (q.empty()) return false;
        auto answer = q.front();
        q.pop_front();
        return answer(fields);
    }
    int FourAnswer(const QString& text, int preset) override {
        questions << text;
        return Pop(fourAnswers, preset);
    }
    bool OpenWithDesktop(const QString& path) override {
        opened << path;
        return desktopWorks;
    }
    // Runs the worker on the calling thread, then drains the operation's status queue.
    void RunLongOperation(korvel::LongOperation& op, const std::function<void()>& worker) override {
        worker();
        QString t;
        while (op.Take(t) == 0) statusTexts << t;
    }

    // Convenience: answer the next `dialog` with OK after setting fields.
    void AnswerDialog(const QString& dialog, korvel::DialogFields values) {
        dialogs[dialog].push_back([values](korvel::DialogFields& f) {
            for (auto it = values.begin(); it != values.end(); ++it) f[it.key()] = it.value();
            return true;
        });
    }
    void CancelDialog(const QString& dialog) {
        dialogs[dialog].push_back([](korvel::DialogFields&) { return false; });
    }
    QStringList MessageTexts() const {
        QStringList l;
        for (const auto& m : messages) l << m.text;
        return l;
    }

private:
    // GCC 12 takes a QString moved out of a std::optional for uninitialised in some
    // optimised builds (a false alarm).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
    template <class T>
    static T Pop(std::deque<T>& q, T fallback) {
        if (q.empty()) return fallback;
        T next = std::move(q.front());
        q.pop_front();
        return next;
    }
#pragma GCC diagnostic pop
};
