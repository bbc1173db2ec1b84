#pragma once
// "添加搜索关键字(ADD TAG)": the keyword text of an import and the INHERIT box.

#include "gui/FieldDialog.h"

class QCheckBox;
class QLineEdit;

namespace korvel {

class keydialog2 : public FieldDialog {
    Q_OBJECT
public:
    explicit keydialog2(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

private:
    QLineEdit* tags_;
    QCheckBox* inherit_;
};

}  // namespace korvel
