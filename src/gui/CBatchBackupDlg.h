#pragma once
// The conditions of the batch backup commands: a path pattern ("路径", matched anywhere in
// a copy's stored path) and a disk number ("磁盘号", matched exactly).

#include "gui/FieldDialog.h"

class QLineEdit;

namespace korvel {

class CBatchBackupDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit CBatchBackupDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

private:
    QLineEdit* pattern_;
    QLineEdit* disk_;
};

}  // namespace korvel
