#pragma once
// The proposals of FIND MOVED FILES: one row per record or backup copy with its old and
// new path and a check box (unique matches checked, a file another record names not),
// the ambiguous records and the folders that could not be read below, shown only. OK
// relinks the checked rows.

#include "gui/FieldDialog.h"

class QListWidget;
class QTableWidget;

namespace korvel {

class CRelinkDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit CRelinkDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    QTableWidget* table() const { return table_; }

private:
    QTableWidget* table_;
    QListWidget* ambiguous_;
    QListWidget* problems_;
};

}  // namespace korvel
