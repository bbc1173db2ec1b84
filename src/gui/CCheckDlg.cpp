#include "gui/CCheckDlg.h"

#include "base/dialogs.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

namespace {
const char* const kStates[] = {"present", "changed", "missing", "offline", "unreadable"};
const char* const kTitles[] = {"正常(PRESENT)", "已改变(CHANGED)", "缺失(MISSING)", "磁盘未挂载(OFFLINE)",
                               "无法读取(UNREADABLE)"};
}  // namespace

CCheckDlg::CCheckDlg(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("检查记录(CHECK)"));
    auto* top = new QVBoxLayout(this);
    counts_ = new QLabel(this);
    counts_->setTextFormat(Qt::PlainText);
    top->addWidget(counts_);
    auto* grid = new QGridLayout;
    for (int s = 1; s < 5; ++s) {
        auto* b = new QPushButton(QStringLiteral("列出%1").arg(QString::fromUtf8(kTitles[s])), this);
        b->setAutoDefault(false);
        const QString state = QString::fromLatin1(kStates[s]);
        connect(b, &QPushButton::clicked, this, [this, state] {
            choice_ = state;
            accept();
        });
        grid->addWidget(b, (s - 1) / 2, (s - 1) % 2);
        buttons_[state] = b;
    }
    top->addLayout(grid);
    top->addWidget(new QLabel(QStringLiteral("磁盘(DISKS)"), this));
    disks_ = new QListWidget(this);
    disks_->setMinimumWidth(560);
    top->addWidget(disks_);
    top->addWidget(new QLabel(QStringLiteral("无法读取的路径(PATHS THAT COULD NOT BE READ)"), this));
    problems_ = new QListWidget(this);
    top->addWidget(problems_);
    auto* close = new QPushButton(QStringLiteral("关闭(CLOSE)"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    top->addLayout(ButtonRow({close}));
}

QPushButton* CCheckDlg::listButton(const QString& state) const {
    auto it = buttons_.find(state);
    return it == buttons_.end() ? nullptr : it->second;
}

void CCheckDlg::SetFields(const DialogFields& fields) {
    const QVariantList counts = fields.value(dlg::kCounts).toList();
    QStringList parts;
    for (int s = 0; s < 5; ++s) {
        const qint64 n = s < counts.size() ? counts[s].toLongLong() : 0;
        parts << QString::fromUtf8(kTitles[s]) + QStringLiteral(": ") + QString::number(n);
        if (s > 0) buttons_[QString::fromLatin1(kStates[s])]->setEnabled(n > 0);
    }
    counts_->setText(parts.join(QStringLiteral("    ")));
    disks_->clear();
    disks_->addItems(fields.value(dlg::kDisks).toStringList());
    problems_->clear();
    problems_->addItems(fields.value(dlg::kProblems).toStringList());
}

void CCheckDlg::GetFields(DialogFields& fields) const { fields[dlg::kChoice] = choice_; }

}  // namespace korvel
