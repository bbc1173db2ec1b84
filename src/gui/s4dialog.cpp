#include "gui/s4dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

s4dialog::s4dialog(const QString& text, int preset, QWidget* parent) : QDialog(parent), answer_(preset) {
    setWindowTitle(QStringLiteral("请确认(CONFIRM)"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* top = new QVBoxLayout(this);
    auto* message = new QLabel(text, this);
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    top->addWidget(message);
    auto* row = new QHBoxLayout;
    const char* labels[] = {"是(YES)", "全是(Y ALL)", "否(NO)", "全否(ALL N)"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(labels[i]), this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] {
            answer_ = i + 1;
            accept();
        });
        buttons_[i] = b;
        row->addWidget(b);
    }
    top->addLayout(row);
}

QPushButton* s4dialog::button(int answer) const { return answer >= 1 && answer <= 4 ? buttons_[answer - 1] : nullptr; }

}  // namespace korvel
