#include "gui/SearchBox.h"

#include <QKeyEvent>
#include <QTimer>

namespace korvel {

int SearchBox::typingPauseMs = 250;

SearchBox::SearchBox(QWidget* parent) : QLineEdit(parent), pause_(new QTimer(this)) {
    setObjectName(QStringLiteral("searchbox"));
    setPlaceholderText(QStringLiteral("名称或关键字，回车搜索内容(name or tag; Enter: content)"));
    setClearButtonEnabled(true);
    setMinimumWidth(320);
    pause_->setSingleShot(true);
    connect(pause_, &QTimer::timeout, this, &SearchBox::FilterNow);
    connect(this, &QLineEdit::textEdited, this, [this] { pause_->start(typingPauseMs); });
    // The clear button changes the text without an edit.
    connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (t.isEmpty() && !filtered_.isEmpty()) pause_->start(0);
    });
}

void SearchBox::FilterNow() {
    pause_->stop();
    const QString t = text().trimmed();
    if (t == filtered_) return;
    filtered_ = t;
    Q_EMIT filterRequested(t);
}

void SearchBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        FilterNow();
        const QString t = text().trimmed();
        if (!t.isEmpty()) Q_EMIT contentSearchRequested(t);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape && !text().isEmpty()) {
        clear();
        FilterNow();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

}  // namespace korvel
