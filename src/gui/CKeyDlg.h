#pragma once
// The tags of one record: ADD appends the blank-separated pieces of the entry to the
// list (duplicates allowed; the entry keeps its text), REMOVE drops the selected entry.
// OK hands the list back in list order.

#include "gui/FieldDialog.h"

#include <QStringList>

class QLineEdit;
class QListWidget;

namespace korvel {

class CKeyDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit CKeyDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    QLineEdit* entry() const { return entry_; }
    QListWidget* list() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removeButton() const { return remove_; }

private:
    void Redraw();
    QLineEdit* entry_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* remove_;
    QStringList tags_;
    QString recordId_;
};

}  // namespace korvel
