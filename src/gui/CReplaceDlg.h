#pragma once
// BATCH REPLACE PATH: the text to find in the selected records' paths and its
// replacement.

#include "gui/FieldDialog.h"

class QLineEdit;

namespace korvel {

class CReplaceDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit CReplaceDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    QLineEdit* findEdit() const { return find_; }
    QLineEdit* replacementEdit() const { return replacement_; }

private:
    QLineEdit* find_;
    QLineEdit* replacement_;
};

}  // namespace korvel
