#include "gui/searchdialog.h"

#include "session/session.h"

#include "base/dialogs.h"
#include "commands/findmenu.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace korvel {

namespace {

const QString kTimeLabels[] = {QStringLiteral("文件创建时间(file create time)"),
                               QStringLiteral("记录创建时间(record create time)")};

}  // namespace

searchdialog::searchdialog(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("高级记录搜索(advanced search)"));
    auto* grid = new QGridLayout;
    int row = 0;
    auto plain = [&](const QString& key, const QString& label) {
        QLineEdit* e = AddLabelledEdit(grid, row++, label, this);
        e->setObjectName(key);
        edits_[key] = e;
        return e;
    };
    plain(dlg::kName, QStringLiteral("名称(file name)"));

    QLineEdit* keys = plain(dlg::kKeywords, QStringLiteral("关键字\n多个关键字以空格分隔(tag)"));
    auto* select = new QPushButton(QStringLiteral("选择(select)"), this);
    select->setObjectName(QStringLiteral("selectNode"));
    grid->addWidget(select, row - 1, 2);
    buttons_[dlg::kKeywords] = select;
    connect(select, &QPushButton::clicked, this, [this] { PickKeywords(); });
    Q_UNUSED(keys);

    plain(dlg::kPath, QStringLiteral("路径(path)"));

    const std::pair<QString, QString> times[] = {{dlg::kFileFrom, dlg::kFileTo}, {dlg::kRecordFrom, dlg::kRecordTo}};
    for (int t = 0; t < 2; ++t) {
        grid->addWidget(new QLabel(kTimeLabels[t], this), row++, 0, 1, 3);
        for (const auto& [key, text] :
             {std::pair{times[t].first, QStringLiteral("from")}, std::pair{times[t].second, QStringLiteral("to")}}) {
            QLineEdit* e = AddLabelledEdit(grid, row, text, this);
            e->setReadOnly(true);
            e->setObjectName(key);
            edits_[key] = e;
            auto* b = new QPushButton(QStringLiteral("选择(sel)"), this);
            b->setObjectName(key + QStringLiteral("Button"));
            grid->addWidget(b, row, 2);
            buttons_[key] = b;
            connect(b, &QPushButton::clicked, this, [this, key = key] { PickDate(key); });
            ++row;
        }
    }
    plain(dlg::kContent, QStringLiteral("文件内容（对建立过内容索引的文件有用）(content for indexed file)"));
    plain(dlg::kDesc, QStringLiteral("备注(desc)"));
    plain(dlg::kOwnNumber, QStringLiteral("自编号(id)"));
    for (auto& [key, e] : edits_) e->setMinimumWidth(280);
    LayOutGrid(grid, {NewOkButton(), NewCancelButton()});
}

void searchdialog::PickDate(const QString& key) {
    DialogFields f{{dlg::kDate, QString()}};
    const bool ok = prompter().EditDialog(dlg::kDatePick, f);
    edits_.at(key)->setText(ok ? f.value(dlg::kDate).toString() : QString());
}

void searchdialog::PickKeywords() {
    if (const std::optional<QString> tags = PickNodeKeywords(session())) edits_.at(dlg::kKeywords)->setText(*tags);
}

void searchdialog::SetFields(const DialogFields& fields) {
    for (auto& [key, e] : edits_) e->setText(fields.value(key).toString());
}

void searchdialog::GetFields(DialogFields& fields) const {
    for (const auto& [key, e] : edits_) fields[key] = e->text();
}

}  // namespace korvel
