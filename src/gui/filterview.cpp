#include "gui/filterview.h"

#include "files/filters.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <map>

namespace korvel {

filterview::filterview(FilterLists& lists, int mode, QWidget* parent)
    : QDialog(parent), lists_(lists), element_(FilterElementOfMode(mode)) {
    // Titled as the menu item that opens it.
    static const std::map<int, QString> titles = {{0, QStringLiteral("文件导入过滤(FILE FILTER SET)")},
                                                  {1, QStringLiteral("文件夹导入过滤(DIR FILTER SET)")},
                                                  {5, QStringLiteral("父文件夹导入过滤(SURDIR FILTER SET)")},
                                                  {7, QStringLiteral("文件夹导入设定(DIR IMPORT SET)")},
                                                  {8, QStringLiteral("文件导入设定(FILE IMPORT SET)")}};
    auto title = titles.find(mode);
    setWindowTitle(title != titles.end() ? title->second : QStringLiteral("内容索引类型(INDEX TYPE SET)"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* addLabel = new QLabel(QStringLiteral("过滤项添加(add filter item)"), this);
    edit_ = new QLineEdit(this);
    auto* add = new QPushButton(QStringLiteral("添加(add)"), this);
    auto* listLabel = new QLabel(QStringLiteral("过滤项列表(filter list)"), this);
    list_ = new QListWidget(this);
    list_->setSortingEnabled(true);
    auto* remove = new QPushButton(QStringLiteral("删除(REMOVE)"), this);
    auto* close = new QPushButton(QStringLiteral("关闭(CLOSE)"), this);
    for (QPushButton* b : {add, remove, close}) b->setAutoDefault(false);
    close->setDefault(true);
    connect(add, &QPushButton::clicked, this, &filterview::OnAdd);
    connect(remove, &QPushButton::clicked, this, &filterview::OnRemove);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* addRow = new QHBoxLayout;
    addRow->addWidget(edit_, 1);
    addRow->addWidget(add);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(remove);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* top = new QVBoxLayout(this);
    top->addWidget(addLabel);
    top->addLayout(addRow);
    top->addWidget(listLabel);
    top->addWidget(list_, 1);
    top->addLayout(buttons);

    list_->addItems(lists_.List(element_));
}

void filterview::OnAdd() {
    const QString text = edit_->text();
    if (text.isEmpty()) return;
    AddFilterValue(lists_, element_, text);
    list_->addItem(text);
}

void filterview::OnRemove() {
    QListWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) return;
    RemoveFilterValue(lists_, element_, item->text());
    delete list_->takeItem(list_->row(item));
}

void filterview::reject() { OnAdd(); }

}  // namespace korvel
