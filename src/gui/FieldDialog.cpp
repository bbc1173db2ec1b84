#include "gui/FieldDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace korvel {

FieldDialog::FieldDialog(QWidget* parent) : QDialog(parent) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
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
