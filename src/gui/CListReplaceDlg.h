#pragma once
// BATCH REPLACE ROOT PATH: the list of source roots (offered from the selected records,
// ADD and DEL by hand, shown sorted), the target root, and AS BACKUP. The list comes back
// in the order collected until the user adds or deletes an entry, sorted from then on.

#include "gui/FieldDialog.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvel {

class CListReplaceDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit CListReplaceDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    QLineEdit* sourceEdit() const { return source_; }
    QLineEdit* targetEdit() const { return target_; }
    QListWidget* rootList() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* delButton() const { return del_; }
    QCheckBox* backupBox() const { return backup_; }

private:
    void OnAdd();
    void OnDel();
    void TakeListFromBox();

    QLineEdit* source_;
    QLineEdit* target_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* del_;
    QCheckBox* backup_;
    QStringList roots_;
};

}  // namespace korvel
