#pragma once
// A drop-down list titled with the product's name and one OK button. OK takes the
// selected entry, or the first one when none is selected.

#include "gui/FieldDialog.h"

class QComboBox;

namespace korvel {

class ComboxDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit ComboxDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    QComboBox* combo() const { return combo_; }

private:
    QComboBox* combo_;
};

}  // namespace korvel
