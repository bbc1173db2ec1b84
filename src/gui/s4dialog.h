#pragma once
// The four-answer prompt: the message and the buttons "是(YES)", "全是(Y ALL)", "否(NO)"
// and "全否(ALL N)", giving 1 to 4. The caller presets the answer; Escape or the close box
// leave it as preset.

#include <QDialog>
#include <QString>

class QPushButton;

namespace korvel {

class s4dialog : public QDialog {
    Q_OBJECT
public:
    s4dialog(const QString& text, int preset, QWidget* parent = nullptr);
    int answer() const { return answer_; }
    // The button giving this answer (1..4).
    QPushButton* button(int answer) const;

private:
    int answer_;
    QPushButton* buttons_[4] = {};
};

}  // namespace korvel
