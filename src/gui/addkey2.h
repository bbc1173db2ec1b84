#pragma once
// "添加搜索文件夹(ADD NODE)": the name and own tags of a new node. While TAG SAME AS NAME
// is ticked the tag edit is disabled and empty, and on OK the tags are the name.

#include "gui/FieldDialog.h"

class QCheckBox;
class QLineEdit;

namespace korvel {

class addkey2 : public FieldDialog {
    Q_OBJECT
public:
    explicit addkey2(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* tagsEdit() const { return tags_; }
    QCheckBox* sameBox() const { return same_; }

private:
    void OnSameToggled(bool on);

    QLineEdit* name_;
    QLineEdit* tags_;
    QCheckBox* same_;
};

}  // namespace korvel
