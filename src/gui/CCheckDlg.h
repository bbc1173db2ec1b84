#pragma once
// The result of CHECK: the number of records per class, one line per disk, the paths that
// could not be looked at, and a button per class that lists its records in the list pane
// (the dialog closes with that class as its choice).

#include "gui/FieldDialog.h"

#include <QString>

#include <map>

class QLabel;
class QListWidget;

namespace korvel {

class CCheckDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit CCheckDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    // The LIST button of a class ("changed", "missing", "offline", "unreadable").
    QPushButton* listButton(const QString& state) const;

private:
    QLabel* counts_;
    QListWidget* disks_;
    QListWidget* problems_;
    std::map<QString, QPushButton*> buttons_;
    QString choice_;
};

}  // namespace korvel
