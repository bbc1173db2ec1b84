#include "base/filterlists.h"

namespace korvel {

const std::array<QString, 6>& FilterLists::Elements() {
    static const std::array<QString, 6> elements = {QStringLiteral("file"),  QStringLiteral("dir"),
                                                    QStringLiteral("index"), QStringLiteral("import"),
                                                    QStringLiteral("fdn"),   QStringLiteral("ffn")};
    return elements;
}

QStringList& FilterLists::List(const QString& element) {
    const auto& names = Elements();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == element) return lists_[i];
    scratch_.clear();
    return scratch_;
}

const QStringList& FilterLists::List(const QString& element) const {
    return const_cast<FilterLists*>(this)->List(element);
}

}  // namespace korvel
