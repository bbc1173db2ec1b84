#pragma once
// The about box: the product's name and its version.

#include <QDialog>

namespace korvel {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace korvel
