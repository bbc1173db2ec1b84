#pragma once
// The filter dialog: edits one of the six import filter lists; every change is written
// to "./filter.xml" at once.

#include "base/filterlists.h"

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace korvel {

class filterview : public QDialog {
    Q_OBJECT
public:
    // mode: 0 file, 1 dir, 5 import, 7 fdn, 8 ffn, anything else index.
    // Edits the list of a mode in lists and in the filter file.
    filterview(FilterLists& lists, int mode, QWidget* parent = nullptr);

    void OnAdd();
    void OnRemove();

    QLineEdit* edit() const { return edit_; }
    QListWidget* list() const { return list_; }

protected:
    // The add button carries the dialog's cancel command: Escape and the close box add
    // the typed text; only "关闭(CLOSE)" closes the dialog.
    void reject() override;

private:
    FilterLists& lists_;
    QString element_;
    QLineEdit* edit_;
    QListWidget* list_;
};

}  // namespace korvel
