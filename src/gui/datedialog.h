#pragma once
// datedialog "选择日期(SELECT DATE)": one month calendar. Picking a day keeps it as
// "%Y-%m-%d"; OK hands back the kept day (empty when none was picked), so OK without a
// pick, like Cancel, clears the time field it was opened for.

#include "gui/FieldDialog.h"

class QCalendarWidget;

namespace korvel {

class datedialog : public FieldDialog {
    Q_OBJECT
public:
    explicit datedialog(QWidget* parent = nullptr);
    void SetFields(const DialogFields& fields) override;
    void GetFields(DialogFields& fields) const override;
    QCalendarWidget* calendar() const { return calendar_; }

private:
    QCalendarWidget* calendar_;
    QString picked_;
};

}  // namespace korvel
