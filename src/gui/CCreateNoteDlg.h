#pragma once
// CREATE NOTE's dialog: the note's name (preset with the default name) and its folder, a
// combo box offering the folders of the current node's records that also takes any typed
// folder, with "..." for the folder picker. OK hands back the name and the combo box text.

#include "gui/FieldDialog.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace korvel {

class CCreateNoteDlg : public FieldDialog {
    Q_OBJECT
public:
    explicit CCreateNoteDlg(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    QLineEdit* nameEdit() const { return name_; }
    QComboBox* folderBox() const { return folder_; }
    QPushButton* browseButton() const { return browse_; }

private:
    QLineEdit* name_;
    QComboBox* folder_;
    QPushButton* browse_;
};

}  // namespace korvel
