#pragma once
// indexdialog: the query of the content search, one edit field.

#include "gui/FieldDialog.h"

class QLineEdit;

namespace korvel {

class indexdialog : public FieldDialog {
    Q_OBJECT
public:
    explicit indexdialog(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

private:
    QLineEdit* text_;
};

}  // namespace korvel
