#include "gui/GuiPrompter.h"

#include <QDesktopServices>
#include <QFile>
#include <QUrl>
#include "base/fsutil.h"

#include "base/dialogs.h"
#include "base/longop.h"
#include "gui/CInputCommonDialog.h"
#include "gui/CListReplaceDlg.h"
#include "gui/CReplaceDlg.h"
#include "gui/CNodeTreeDlg.h"
#include "gui/CShowInfoDlg.h"
#include "gui/ComboxDlg.h"
#include "gui/TreeControlDlg.h"
#include "gui/addkey2.h"
#include "gui/addtreedialog.h"
#include "gui/keydialog2.h"
#include "gui/lookdialog4.h"
#include "gui/modsdialog2.h"
#include "store/catalogue.h"

#include <QApplication>
#include <QFileDialog>
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

std::unique_ptr<FieldDialog> MakeFieldDialog(const QString& dialog, QWidget* parent) {
    if (dialog == dlg::kAddNode) return std::make_unique<addkey2>(parent);
    if (dialog == dlg::kModifyNode) return std::make_unique<modsdialog2>(parent);
    if (dialog == dlg::kShowNode) return std::make_unique<lookdialog4>(parent);
    if (dialog == dlg::kKeyDialog) return std::make_unique<keydialog2>(parent);
    if (dialog == dlg::kAddTree) return std::make_unique<addtreedialog>(parent);
    if (dialog == dlg::kNodeTree) return std::make_unique<CNodeTreeDlg>(parent);
    if (dialog == dlg::kInput) return std::make_unique<CInputCommonDialog>(parent);
    if (dialog == dlg::kCombo) return std::make_unique<ComboxDlg>(parent);
    if (dialog == dlg::kReplace) return std::make_unique<CReplaceDlg>(parent);
    if (dialog == dlg::kListReplace) return std::make_unique<CListReplaceDlg>(parent);
    return nullptr;
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
        TreeControlDlg dlg(Parent());
        if (dlg.exec() != QDialog::Accepted) return std::nullopt;
        return dlg.PickedNode();
    });
}

std::optional<QString> GuiPrompter::PickFolder() {
    return OnGuiThread([&]() -> std::optional<QString> {
        const QString folder =
            QFileDialog::getExistingDirectory(Parent(), QStringLiteral("Select folder"));
        if (folder.isEmpty()) return std::nullopt;
        return folder;
    });
}

std::optional<QStringList> GuiPrompter::PickFiles() {
    return OnGuiThread([&]() -> std::optional<QStringList> {
        const QStringList files = QFileDialog::getOpenFileNames(
            Parent(), QString(), QString(), QStringLiteral("*.* (*)"));
        if (files.isEmpty()) return std::nullopt;
        return files;
    });
}

bool GuiPrompter::EditDialog(const QString& dialog, DialogFields& fields) {
    return OnGuiThread([&] {
        std::unique_ptr<FieldDialog> dlg = MakeFieldDialog(dialog, Parent());
        if (!dlg) return false;
        dlg->SetFields(fields);
        if (dlg->exec() != QDialog::Accepted) return false;
        dlg->GetFields(fields);
        return true;
    });
}

int GuiPrompter::FourAnswer(const QString& text, int preset) {
    return OnGuiThread([&] {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Dialog"), text, QMessageBox::NoButton,
                        Parent());
        const std::pair<const char*, int> answers[] = {
            {"是(YES)", 1}, {"全是(Y ALL)", 2}, {"否(NO)", 3}, {"全否(ALL N)", 4}};
        std::map<QAbstractButton*, int> codes;
        for (const auto& [label, code] : answers)
            codes[box.addButton(QString::fromUtf8(label), QMessageBox::ActionRole)] = code;
        // Escape and the close box keep the preset answer.
        QPushButton* none = box.addButton(QMessageBox::Cancel);
        none->hide();
        box.setEscapeButton(none);
        box.exec();
        auto it = codes.find(box.clickedButton());
        return it == codes.end() ? preset : it->second;
    });
}

void GuiPrompter::RunLongOperation(const std::function<void()>& worker) {
    if (qApp && QThread::currentThread() != qApp->thread()) {
        worker();  // already on a worker: run in place
        return;
    }
    g_stop_requested = false;
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::function<void()> job = worker;  // the worker owns its copy
    std::thread thread([job, ended] {
        try {
            job();
        } catch (const DbError& e) {
            ReportDbError(e);
        } catch (const std::exception& e) {
            prompter().Message(QString::fromUtf8(e.what()), QStringLiteral("info"),
                               MsgIcon::Exclamation);
        }
        ended->store(true);
    });
    {
        CShowInfoDlg dlg([ended] { return ended->load(); }, Parent());
        dlg.exec();
    }
    thread.join();
}

bool GuiPrompter::OpenWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(EncodePath(path))));
}

}  // namespace korvel
