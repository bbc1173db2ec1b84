#pragma once
// The search box of the toolbar. Typing narrows the opened node's listing to the records
// whose name or tags contain the text (a moment after the last key, so that a fast typist
// does not list the node once per key); Enter also searches the contents of every indexed
// record, whose hits the list then shows with ContentHitsView below it.

#include <QLineEdit>

class QTimer;

namespace korvel {

class SearchBox : public QLineEdit {
    Q_OBJECT
public:
    explicit SearchBox(QWidget* parent = nullptr);

    // Pause after the last key before the listing is narrowed (ms).
    static int typingPauseMs;

    // Narrows the listing now (pending typing included).
    void FilterNow();

Q_SIGNALS:
    // The listing is to be narrowed to text (empty: the whole node again).
    void filterRequested(const QString& text);
    // Enter: the content search for text.
    void contentSearchRequested(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTimer* pause_;
    QString filtered_;  // the text the listing was last narrowed to
};

}  // namespace korvel
