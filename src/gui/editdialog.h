#pragma once
// "编辑文件记录属性(EDIT RECORD)": the fields of one record. The tags are shown but cannot
// be changed here (keyword commands change them).

#include "gui/FieldDialog.h"

class QLineEdit;

namespace korvel {

class editdialog : public FieldDialog {
    Q_OBJECT
public:
    explicit editdialog(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

private:
    QLineEdit* name_;
    QLineEdit* tags_;
    QLineEdit* path_;
    QLineEdit* desc_;
    QLineEdit* ownNumber_;
    QLineEdit* disk_;
};

}  // namespace korvel
