#include "gui/FieldDialog.h"

#include "session/session.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

FieldDialog::FieldDialog(QWidget* parent) : QDialog(parent) { setWindowFlag(Qt::WindowContextHelpButtonHint, false); }

QPushButton* FieldDialog::NewOkButton() {
    auto* ok = new QPushButton(QStringLiteral("确定(OK)"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    return ok;
}

QPushButton* FieldDialog::NewCancelButton() {
    auto* cancel = new QPushButton(QStringLiteral("取消(CANCEL)"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    return cancel;
}

Session& FieldDialog::session() const {
    Q_ASSERT(session_);
    return *session_;
}

Prompter& FieldDialog::prompter() const { return session().prompter(); }

void FieldDialog::AddFolderButton(QGridLayout* grid, int row, QLineEdit* edit) {
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setAutoDefault(false);
    browse->setFixedWidth(36);
    grid->addWidget(browse, row, 2);
    connect(browse, &QPushButton::clicked, this, [this, edit] {
        if (std::optional<QString> folder = prompter().PickFolder(PickKind::Import)) edit->setText(*folder);
    });
}

void FieldDialog::LayOutGrid(QGridLayout* grid, const QList<QPushButton*>& buttons) {
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(ButtonRow(buttons));
}

QLineEdit* AddLabelledEdit(QGridLayout* grid, int row, const QString& label, QWidget* owner) {
    auto* l = new QLabel(label, owner);
    auto* e = new QLineEdit(owner);
    e->setMinimumWidth(260);
    l->setBuddy(e);
    grid->addWidget(l, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(e, row, 1);
    return e;
}

QBoxLayout* ButtonRow(const QList<QPushButton*>& buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    bool first = true;
    for (QPushButton* b : buttons) {
        if (first) b->setDefault(true);
        first = false;
        row->addWidget(b);
    }
    return row;
}

}  // namespace korvel
