#pragma once

#include <QStyledItemDelegate>

// Gives every row of a list the same height and, where asked, draws the selected row in bold.
class TListRowDelegate : public QStyledItemDelegate {
public:
    TListRowDelegate(int ARowHeight, bool ABoldSelection, QObject *Parent);

    QSize sizeHint(const QStyleOptionViewItem &Option, const QModelIndex &Index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *Option, const QModelIndex &Index) const override;

private:
    int FRowHeight;
    bool FBoldSelection;
};
