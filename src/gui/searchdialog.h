#pragma once
// searchdialog "高级记录搜索(advanced search)": the ten texts of the advanced search. The
// four time fields are read-only and filled through datedialog by their "选择(sel)"
// buttons (Cancel there clears the field); "选择(select)" beside the keywords replaces
// them by the all tags of a node picked in the node picker.

#include "gui/FieldDialog.h"

#include <map>

class QLineEdit;
class QPushButton;

namespace korvel {

class searchdialog : public FieldDialog {
    Q_OBJECT
public:
    explicit searchdialog(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;

    // The edit of a field key, and the button of a time field or of the keywords.
    QLineEdit* edit(const QString& key) const { return edits_.at(key); }
    QPushButton* button(const QString& key) const { return buttons_.at(key); }

private:
    void PickDate(const QString& key);
    void PickKeywords();

    std::map<QString, QLineEdit*> edits_;
    std::map<QString, QPushButton*> buttons_;
};

}  // namespace korvel
