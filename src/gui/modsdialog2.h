#pragma once
// "修改搜索文件夹(EDIT NODE)": the name and own tags of an existing node.

#include "gui/FieldDialog.h"

class QLineEdit;

namespace korvel {

class modsdialog2 : public FieldDialog {
    Q_OBJECT
public:
    explicit modsdialog2(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

private:
    QLineEdit* name_;
    QLineEdit* tags_;
};

}  // namespace korvel
