#pragma once
// Base of the dialogs that Prompter::EditDialog shows by name: the caller's preset
// fields go in before the dialog runs, and on OK the dialog writes them back.

#include "base/prompter.h"

#include <QDialog>
#include <QString>

class QBoxLayout;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace korvel {

class Prompter;
class Session;

class FieldDialog : public QDialog {
    Q_OBJECT
public:
    explicit FieldDialog(QWidget* parent = nullptr);
    virtual void SetFields(const DialogFields& fields) = 0;
    virtual void GetFields(DialogFields& fields) const = 0;

    // The session the dialog asks for (its folder and node pickers, the node map).
    void SetSession(Session* session) { session_ = session; }
    Session& session() const;
    Prompter& prompter() const;

protected:
    // "确定(OK)", which accepts the dialog, and "取消(CANCEL)", which rejects it.
    QPushButton* NewOkButton();
    QPushButton* NewCancelButton();
    // A small "..." button at column 2 of grid's row that puts the folder the user picks
    // into edit (nothing changes when the pick is cancelled).
    void AddFolderButton(QGridLayout* grid, int row, QLineEdit* edit);
    // The dialog's layout: grid above a right-aligned row of buttons (ButtonRow).
    void LayOutGrid(QGridLayout* grid, const QList<QPushButton*>& buttons);

private:
    Session* session_ = nullptr;
};

// Layout helpers shared by the small dialogs.
// A row "label / edit" in grid at row; returns the edit.
QLineEdit* AddLabelledEdit(QGridLayout* grid, int row, const QString& label, QWidget* owner);
// A right-aligned row of buttons; the first is the default button.
QBoxLayout* ButtonRow(const QList<QPushButton*>& buttons);

}  // namespace korvel
