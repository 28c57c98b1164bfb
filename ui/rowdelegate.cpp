#include "ui/rowdelegate.h"

TListRowDelegate::TListRowDelegate(int ARowHeight, bool ABoldSelection, QObject *Parent)
    : QStyledItemDelegate(Parent)
    , FRowHeight(ARowHeight)
    , FBoldSelection(ABoldSelection) {}

QSize TListRowDelegate::sizeHint(const QStyleOptionViewItem &Option,
                                 const QModelIndex &Index) const {
    return QSize(QStyledItemDelegate::sizeHint(Option, Index).width(), FRowHeight);
}

void TListRowDelegate::initStyleOption(QStyleOptionViewItem *Option,
                                       const QModelIndex &Index) const {
    QStyledItemDelegate::initStyleOption(Option, Index);
    if (FBoldSelection)
        Option->font.setBold(Option->state.testFlag(QStyle::State_Selected));
}
