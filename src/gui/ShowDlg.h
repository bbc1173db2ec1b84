#pragma once
// The groups of one record as path names. UNGROUP with a group selected closes the dialog
// as OK, naming that group's index; without a selection it does nothing.

#include "gui/FieldDialog.h"

class QListWidget;

namespace korvel {

class ShowDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit ShowDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    QListWidget* list() const { return list_; }
    QPushButton* ungroupButton() const { return ungroup_; }

private:
    QListWidget* list_;
    QPushButton* ungroup_;
    int index_ = -1;
};

}  // namespace korvel
