#include "gui/datedialog.h"

#include "base/dialogs.h"

#include <QCalendarWidget>
#include <QVBoxLayout>

namespace korvel {

datedialog::datedialog(QWidget* parent) : FieldDialog(parent) {
    setWindowTitle(QStringLiteral("选择日期(SELECT DATE)"));
    calendar_ = new QCalendarWidget(this);
    calendar_->setObjectName(QStringLiteral("calendar"));
    connect(calendar_, &QCalendarWidget::clicked, this,
            [this](QDate day) { picked_ = day.toString(QStringLiteral("yyyy-MM-dd")); });
    connect(calendar_, &QCalendarWidget::activated, this,
            [this](QDate day) { picked_ = day.toString(QStringLiteral("yyyy-MM-dd")); });
    auto* top = new QVBoxLayout(this);
    top->addWidget(calendar_);
    top->addLayout(ButtonRow({NewOkButton(), NewCancelButton()}));
}

void datedialog::SetFields(const DialogFields&) { picked_.clear(); }

void datedialog::GetFields(DialogFields& fields) const { fields[dlg::kDate] = picked_; }

}  // namespace korvel
