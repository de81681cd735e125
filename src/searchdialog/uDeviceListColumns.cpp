#include "searchdialog/uDeviceListColumns.h"

#include "searchdialog/uDeviceListCells.h"

#include <QHeaderView>
#include <QTableWidget>

#include <algorithm>

namespace devicelist {

TDeviceListColumns::TDeviceListColumns(QTableWidget* list) : QObject(list), list_(list) {
    for (std::size_t c = 0; c < kColumnWidths.size(); ++c) {
        Resize(c, kColumnWidths[c]);
        if (c < kSizedColumns) {
            userWidths_[c] = kColumnWidths[c];
        }
    }
    connect(list->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) {
                if (!resizing_ && column >= 0 && static_cast<std::size_t>(column) < kSizedColumns) {
                    userWidths_[static_cast<std::size_t>(column)] = width;
                }
            });
}

void TDeviceListColumns::SetUserWidth(std::size_t column, int width) {
    if (column >= kSizedColumns || width < 0) {
        return;
    }
    userWidths_[column] = width;
    Resize(column, width);
}

void TDeviceListColumns::FitToContent() {
    if (list_->rowCount() == 0) {
        return; // an empty list keeps its widths
    }
    // The table's own measure of the rows' texts (public as the view's).
    const QAbstractItemView* view = list_;
    for (std::size_t c = 0; c < kSizedColumns; ++c) {
        const int content = view->sizeHintForColumn(static_cast<int>(c));
        // Back to the user's width once the long texts are gone.
        Resize(c, std::max(userWidths_[c], std::min(content, kMaxFittedWidth)));
    }
}

void TDeviceListColumns::Resize(std::size_t column, int width) {
    resizing_ = true;
    list_->horizontalHeader()->resizeSection(static_cast<int>(column), width);
    resizing_ = false;
}

} // namespace devicelist
