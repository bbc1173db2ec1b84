#pragma once
// The tags that ADD or DEL (keywords) apply to every selected record: one entry field.

#include "gui/FieldDialog.h"

class QLineEdit;

namespace korvel {

class alldialog : public FieldDialog {
    Q_OBJECT
public:
    explicit alldialog(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;
    QLineEdit* entry() const { return text_; }

private:
    QLineEdit* text_;
};

}  // namespace korvel
