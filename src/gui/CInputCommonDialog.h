#pragma once
// The input box: one text, titled with the product's name.

#include "gui/FieldDialog.h"

class QLineEdit;

namespace korvel {

class CInputCommonDialog : public FieldDialog {
    Q_OBJECT
public:
    explicit CInputCommonDialog(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

private:
    QLineEdit* text_;
};

}  // namespace korvel
