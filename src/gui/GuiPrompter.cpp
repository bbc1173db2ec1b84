#include "gui/GuiPrompter.h"
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <mutex>

#include "commands/report.h"
#include "session/session.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>
#include "base/fsutil.h"

#include "base/dialogs.h"
#include "gui/CCheckDlg.h"
#include "gui/CDuplicatesDlg.h"
#include "gui/CRelinkDlg.h"
#include "base/longop.h"
#include "base/settings.h"
#include "gui/CBatchBackupDlg.h"
#include "gui/CCreateNoteDlg.h"
#include "gui/CInputCommonDialog.h"
#include "gui/CKeyDlg.h"
#include "gui/CListReplaceDlg.h"
#include "gui/CReplaceDlg.h"
#include "gui/CNodeTreeDlg.h"
#include "gui/CShowInfoDlg.h"
#include "gui/datedialog.h"
#include "gui/ComboxDlg.h"
#include "gui/ShowDlg.h"
#include "gui/TreeControlDlg.h"
#include "gui/addkey2.h"
#include "gui/addtreedialog.h"
#include "gui/editdialog.h"
#include "gui/keydialog2.h"
#include "gui/lookdialog4.h"
#include "gui/modsdialog2.h"
#include "gui/openback.h"
#include "gui/alldialog.h"
#include "gui/keydialog2.h"
#include "gui/lookdialog4.h"
#include "gui/indexdialog.h"
#include "gui/modsdialog2.h"
#include "gui/s4dialog.h"
#include "gui/searchdialog.h"
#include "store/catalogue.h"

#include <QApplication>
#include <QAbstractFileIconProvider>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <QPushButton>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <type_traits>

namespace korvel {

namespace {

// How long an open waits for the desktop's answer.
constexpr int kOpenWaitMs = 3000;

// Long work shows its progress dialog only when it has not ended after this long.
constexpr int kProgressDialogDelayMs = 300;

// Runs f on the user-interface thread; a worker thread waits for the answer.
template <class F>
auto OnGuiThread(F f) -> decltype(f()) {
    using R = decltype(f());
    if (!qApp || QThread::currentThread() == qApp->thread()) return f();
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(
            qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

QMessageBox::Icon BoxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information: return QMessageBox::Information;
        case MsgIcon::Question: return QMessageBox::Question;
        case MsgIcon::Exclamation: break;
    }
    return QMessageBox::Warning;
}

}  // namespace

namespace {

std::unique_ptr<FieldDialog> NewFieldDialog(const QString& dialog, QWidget* parent) {
    if (dialog == dlg::kAddNode) return std::make_unique<addkey2>(parent);
    if (dialog == dlg::kModifyNode) return std::make_unique<modsdialog2>(parent);
    if (dialog == dlg::kShowNode) return std::make_unique<lookdialog4>(parent);
    if (dialog == dlg::kKeyDialog) return std::make_unique<keydialog2>(parent);
    if (dialog == dlg::kAddTree) return std::make_unique<addtreedialog>(parent);
    if (dialog == dlg::kNodeTree) return std::make_unique<CNodeTreeDlg>(parent);
    if (dialog == dlg::kInput) return std::make_unique<CInputCommonDialog>(parent);
    if (dialog == dlg::kCombo) return std::make_unique<ComboxDlg>(parent);
    if (dialog == dlg::kEditRecord) return std::make_unique<editdialog>(parent);
    if (dialog == dlg::kOpenBack) return std::make_unique<openback>(parent);
    if (dialog == dlg::kBatchBackup) return std::make_unique<CBatchBackupDlg>(parent);
    if (dialog == dlg::kCreateNote) return std::make_unique<CCreateNoteDlg>(parent);
    if (dialog == dlg::kRecordKeys) return std::make_unique<CKeyDlg>(parent);
    if (dialog == dlg::kBatchKeys) return std::make_unique<alldialog>(parent);
    if (dialog == dlg::kShowGroups) return std::make_unique<ShowDlg>(parent);
    if (dialog == dlg::kReplace) return std::make_unique<CReplaceDlg>(parent);
    if (dialog == dlg::kListReplace) return std::make_unique<CListReplaceDlg>(parent);
    if (dialog == dlg::kContentSearch) return std::make_unique<indexdialog>(parent);
    if (dialog == dlg::kAdvancedSearch) return std::make_unique<searchdialog>(parent);
    if (dialog == dlg::kDatePick) return std::make_unique<datedialog>(parent);
    if (dialog == dlg::kCheckResult) return std::make_unique<CCheckDlg>(parent);
    if (dialog == dlg::kRelink) return std::make_unique<CRelinkDlg>(parent);
    if (dialog == dlg::kDuplicates) return std::make_unique<CDuplicatesDlg>(parent);
    return nullptr;
}

}  // namespace

std::unique_ptr<FieldDialog> MakeFieldDialog(const QString& dialog, QWidget* parent, Session* session) {
    std::unique_ptr<FieldDialog> d = NewFieldDialog(dialog, parent);
    if (d) d->SetSession(session);
    return d;
}

QWidget* GuiPrompter::Parent() const {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (parent_) return parent_;
    return QApplication::activeWindow();
}

void GuiPrompter::Message(const QString& text, const QString& caption, MsgIcon icon) {
    // A warning during a long operation is one of the things that failed: the progress
    // dialog lists it and stays open at the end.
    if (LongOperation* op = longOperation_.load(); op && icon == MsgIcon::Exclamation) op->ReportFailure(text);
    OnGuiThread([&] {
        QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, Parent());
        box.exec();
    });
}

bool GuiPrompter::Confirm(const QString& text, const QString& caption) {
    return OnGuiThread([&] {
        QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel, Parent());
        return box.exec() == QMessageBox::Ok;
    });
}

bool GuiPrompter::ConfirmQuestion(const QString& text, const QString& caption) {
    return OnGuiThread([&] {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel, Parent());
        return box.exec() == QMessageBox::Ok;
    });
}

bool GuiPrompter::AskYesNo(const QString& text, const QString& caption) {
    return OnGuiThread([&] {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, Parent());
        return box.exec() == QMessageBox::Yes;
    });
}

std::optional<QString> GuiPrompter::PickNode() {
    return OnGuiThread([&]() -> std::optional<QString> {
        TreeControlDlg dlg(session_, Parent());
        if (dlg.exec() != QDialog::Accepted) return std::nullopt;
        return dlg.PickedNode();
    });
}

namespace {

// Icons and type names from what stat() tells alone. The toolkit's own provider asks the
// MIME database, which opens every file it cannot name by its suffix to read its first
// bytes: the catalogue's kv.kdb, -wal and -shm among them, and closing those descriptors
// would drop the engine's locks on the catalogue.
class StatOnlyIconProvider final : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override { return QAbstractFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override {
        return QAbstractFileIconProvider::icon(info.isDir() ? Folder : File);
    }
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) return QStringLiteral("Folder");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("File") : suffix.toUpper() + QStringLiteral(" File");
    }
};

// The file dialogs of the window: the toolkit's own dialog (a desktop's native dialog
// would sniff file contents the same way) with the provider above, in folder.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const QString& title, const QString& folder) {
    static StatOnlyIconProvider provider;
    auto dlg = std::make_unique<QFileDialog>(parent, title, folder);
    dlg->setOption(QFileDialog::DontUseNativeDialog);
    dlg->setOption(QFileDialog::DontUseCustomDirectoryIcons);
    dlg->setIconProvider(&provider);
    return dlg;
}

}  // namespace

std::optional<QString> GuiPrompter::PickFolder(PickKind kind) {
    return OnGuiThread([&]() -> std::optional<QString> {
        auto dlg = MakeFileDialog(Parent(), QStringLiteral("Select folder"), PickStartFolder(kind));
        dlg->setFileMode(QFileDialog::Directory);
        dlg->setOption(QFileDialog::ShowDirsOnly);
        if (dlg->exec() != QDialog::Accepted || dlg->selectedFiles().isEmpty()) return std::nullopt;
        const QString folder = dlg->selectedFiles().first();
        if (folder.isEmpty()) return std::nullopt;
        RememberPickFolder(kind, folder);
        return folder;
    });
}

namespace {

// The multi-selection file-open dialog with the given name filters (the first is shown),
// starting in the last folder of its kind.
std::optional<QStringList> PickFilesMatching(QWidget* parent, const QStringList& filters, PickKind kind) {
    auto dlg = MakeFileDialog(parent, QStringLiteral("选择文件(SELECT FILES)"), PickStartFolder(kind));
    dlg->setFileMode(QFileDialog::ExistingFiles);
    dlg->setNameFilters(filters);
    if (dlg->exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dlg->selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    RememberPickFolder(kind, dlg->directory().absolutePath());
    return files;
}

}  // namespace

const QStringList kCatalogueFileFilters = {QStringLiteral("kv.kdb (kv.kdb *.kdb)"), QStringLiteral("*.* (*)")};

std::optional<QStringList> GuiPrompter::PickFiles(PickKind kind) {
    return OnGuiThread([&] { return PickFilesMatching(Parent(), {QStringLiteral("*.* (*)")}, kind); });
}

std::optional<QStringList> GuiPrompter::PickCatalogueFiles() {
    return OnGuiThread([&] { return PickFilesMatching(Parent(), kCatalogueFileFilters, PickKind::Sync); });
}

bool GuiPrompter::EditDialog(const QString& dialog, DialogFields& fields) {
    return OnGuiThread([&] {
        std::unique_ptr<FieldDialog> dlg = MakeFieldDialog(dialog, Parent(), &session_);
        if (!dlg) return false;
        dlg->SetFields(fields);
        if (dlg->exec() != QDialog::Accepted) return false;
        dlg->GetFields(fields);
        return true;
    });
}

int GuiPrompter::FourAnswer(const QString& text, int preset) {
    return OnGuiThread([&] {
        s4dialog box(text, preset, Parent());
        box.exec();
        return box.answer();
    });
}

void GuiPrompter::RunLongOperation(LongOperation& op, const std::function<void()>& worker) {
    if (qApp && QThread::currentThread() != qApp->thread()) {
        worker();  // already on a worker: run in place
        return;
    }
    op.Start();
    op.ResetProgress();
    longOperation_ = &op;
    // What the window's thread waits on: the short wait before the dialog, then the dialog.
    struct Waiter {
        QPointer<QEventLoop> loop;
        QPointer<CShowInfoDlg> dialog;
    };
    auto waiter = std::make_shared<Waiter>();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::function<void()> job = worker;  // the worker owns its copy
    std::thread thread([this, job, ended, waiter] {
        try {
            job();
        } catch (const DbError& e) {
            ReportDbError(*this, e);
        } catch (const std::exception& e) {
            Message(QString::fromUtf8(e.what()), QStringLiteral("info"), MsgIcon::Exclamation);
        }
        ended->store(true);
        // The window's thread learns of the end at once, not at its next look.
        QMetaObject::invokeMethod(
            qApp,
            [waiter] {
                if (waiter->loop) waiter->loop->quit();
                if (waiter->dialog) waiter->dialog->WorkerEnded();
            },
            Qt::QueuedConnection);
    });
    // Work that ends within a moment (most searches) shows no dialog: a dialog that opens and
    // closes again is a flash that costs more than the work. Clicks and keys wait meanwhile.
    {
        QEventLoop wait;
        waiter->loop = &wait;
        QTimer::singleShot(kProgressDialogDelayMs, &wait, &QEventLoop::quit);
        if (!ended->load()) wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    QString summary;
    if (ended->load() && op.Progress().failures.isEmpty() && !op.StopRequested()) {
        QString text;
        while (op.Take(text) == 0) summary = text;  // the last text is the summary
    } else {
        CShowInfoDlg dlg(
            op, [ended] { return ended->load(); }, Parent());
        waiter->dialog = &dlg;
        dlg.exec();
        summary = dlg.Summary();
    }
    thread.join();
    longOperation_ = nullptr;
    // The dialog is gone; what the operation did stays in the status bar.
    ShowSummary(summary);
}

void GuiPrompter::ShowSummary(const QString& text) {
    OnGuiThread([&] {
        if (text.isEmpty()) return;
        if (auto* window = qobject_cast<QMainWindow*>(parent_)) window->statusBar()->showMessage(text);
    });
}

GuiPrompter::~GuiPrompter() {
    for (auto& b : background_) b->stop = true;
    for (auto& b : background_)
        if (b->thread.joinable()) b->thread.join();
}

void GuiPrompter::RunInBackground(const BackgroundJob& job) {
    // Jobs that ended are let go.
    for (auto it = background_.begin(); it != background_.end();) {
        if ((*it)->ended) {
            (*it)->thread.join();
            it = background_.erase(it);
        } else {
            ++it;
        }
    }
    auto* window = qobject_cast<QMainWindow*>(Parent());
    QPointer<QLabel> label;
    QPointer<QPushButton> button;
    if (window) {
        label = new QLabel(window->statusBar());
        label->setTextFormat(Qt::PlainText);
        button = new QPushButton(QStringLiteral("停止(STOP)"), window->statusBar());
        button->setFocusPolicy(Qt::NoFocus);
        window->statusBar()->addWidget(label);
        window->statusBar()->addWidget(button);
    }
    background_.push_back(std::make_unique<Background>());
    Background* b = background_.back().get();
    if (button) QObject::connect(button, &QPushButton::clicked, [b] { b->stop = true; });
    b->thread = std::thread([b, job, label, button] {
        // The status bar shows the latest text at most ten times a second.
        auto last = std::chrono::steady_clock::now() - std::chrono::seconds(1);
        auto show = [label](const QString& text) {
            if (label)
                QMetaObject::invokeMethod(label, [label, text] {
                    if (label) label->setText(text);
                });
        };
        QString latest;
        auto status = [&last, &show, &latest](const QString& text) {
            latest = text;
            const auto now = std::chrono::steady_clock::now();
            if (now - last < std::chrono::milliseconds(100)) return;
            last = now;
            show(text);
        };
        try {
            job(b->stop, status);
        } catch (const std::exception& e) {
            show(QString::fromUtf8(e.what()));
        }
        show(latest);  // the last text, also when it came too soon after the one before
        if (button)
            QMetaObject::invokeMethod(button, [button] {
                if (button) button->deleteLater();
            });
        b->ended = true;
    });
}

bool GuiPrompter::OpenWithDesktop(const QString& path) {
    return OnGuiThread([&] {
        const QUrl url = QUrl::fromLocalFile(QFile::decodeName(EncodePath(path)));
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (opener.isEmpty()) return QDesktopServices::openUrl(url);
        // The toolkit starts xdg-open detached and calls that a success even when no
        // program takes the file. Wait a moment for its answer: a non-zero exit is a
        // failure; still running after the wait means a program has the file.
        // The process object outlives this call when the program is still running, and
        // goes when it ends (deleting a running QProcess would kill it).
        auto* process = new QProcess(qApp);
        process->setProgram(opener);
        process->setArguments({url.toString(QUrl::FullyEncoded)});
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        QEventLoop wait;
        QObject::connect(process, &QProcess::finished, &wait, &QEventLoop::quit);
        QTimer::singleShot(kOpenWaitMs, &wait, &QEventLoop::quit);
        process->start();
        if (!process->waitForStarted(kOpenWaitMs)) {
            process->deleteLater();
            return false;
        }
        if (process->state() != QProcess::NotRunning) wait.exec(QEventLoop::ExcludeUserInputEvents);
        if (process->state() != QProcess::NotRunning) return true;
        return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    });
}

}  // namespace korvel
