#include "gui/GuiPrompter.h"

#include "session/session.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>
#include "base/fsutil.h"

#include "base/dialogs.h"
#include "base/longop.h"
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
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <type_traits>

namespace korvel {

namespace {

// Runs f on the user-interface thread; a worker thread waits for the answer.
template <class F>
auto OnGuiThread(F f) -> decltype(f()) {
    using R = decltype(f());
    if (!qApp || QThread::currentThread() == qApp->thread()) return f();
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(qApp, [&] { result = f(); }, Qt::BlockingQueuedConnection);
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
    OnGuiThread([&] {
        QMessageBox box(BoxIcon(icon), caption, text, QMessageBox::Ok, Parent());
        box.exec();
    });
}

bool GuiPrompter::Confirm(const QString& text, const QString& caption) {
    return OnGuiThread([&] {
        QMessageBox box(QMessageBox::Warning, caption, text,
                        QMessageBox::Ok | QMessageBox::Cancel, Parent());
        return box.exec() == QMessageBox::Ok;
    });
}

bool GuiPrompter::AskYesNo(const QString& text, const QString& caption) {
    return OnGuiThread([&] {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                        Parent());
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
// would sniff file contents the same way) with the provider above, on the working folder.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const QString& title) {
    static StatOnlyIconProvider provider;
    auto dlg = std::make_unique<QFileDialog>(parent, title, QDir::currentPath());
    dlg->setOption(QFileDialog::DontUseNativeDialog);
    dlg->setOption(QFileDialog::DontUseCustomDirectoryIcons);
    dlg->setIconProvider(&provider);
    return dlg;
}

}  // namespace

std::optional<QString> GuiPrompter::PickFolder() {
    return OnGuiThread([&]() -> std::optional<QString> {
        auto dlg = MakeFileDialog(Parent(), QStringLiteral("Select folder"));
        dlg->setFileMode(QFileDialog::Directory);
        dlg->setOption(QFileDialog::ShowDirsOnly);
        if (dlg->exec() != QDialog::Accepted || dlg->selectedFiles().isEmpty()) return std::nullopt;
        const QString folder = dlg->selectedFiles().first();
        if (folder.isEmpty()) return std::nullopt;
        return folder;
    });
}

std::optional<QStringList> GuiPrompter::PickFiles() {
    return OnGuiThread([&]() -> std::optional<QStringList> {
        auto dlg = MakeFileDialog(Parent(), QString());
        dlg->setFileMode(QFileDialog::ExistingFiles);
        dlg->setNameFilter(QStringLiteral("*.* (*)"));
        if (dlg->exec() != QDialog::Accepted) return std::nullopt;
        const QStringList files = dlg->selectedFiles();
        if (files.isEmpty()) return std::nullopt;
        return files;
    });
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
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::function<void()> job = worker;  // the worker owns its copy
    std::thread thread([this, job, ended] {
        try {
            job();
        } catch (const DbError& e) {
            ReportDbError(*this, e);
        } catch (const std::exception& e) {
            Message(QString::fromUtf8(e.what()), QStringLiteral("info"),
                               MsgIcon::Exclamation);
        }
        ended->store(true);
    });
    {
        CShowInfoDlg dlg(op, [ended] { return ended->load(); }, Parent());
        dlg.exec();
    }
    thread.join();
}

bool GuiPrompter::OpenWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(EncodePath(path))));
}

}  // namespace korvel
