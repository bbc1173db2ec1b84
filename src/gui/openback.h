#pragma once
// "选择副本(SELECT BACKUP RECORD)": the copies of one record as "path;disk" in a sorted,
// editable drop-down. OK gives the drop-down's text as the choice.

#include "gui/FieldDialog.h"

class QComboBox;

namespace korvel {

class openback : public FieldDialog {
    Q_OBJECT
public:
    explicit openback(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    QComboBox* combo() const { return combo_; }

private:
    QComboBox* combo_;
};

}  // namespace korvel
