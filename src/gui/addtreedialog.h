#pragma once
// "按路径导入数据": root folder, keyword text, depth and the two boxes of a folder-tree
// import.

#include "gui/FieldDialog.h"

class QCheckBox;
class QLineEdit;

namespace korvel {

class addtreedialog : public FieldDialog {
    Q_OBJECT
public:
    explicit addtreedialog(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

private:
    QLineEdit* root_;
    QLineEdit* tags_;
    QLineEdit* depth_;
    QCheckBox* createNodeTree_;
    QCheckBox* importLastDir_;
};

}  // namespace korvel
