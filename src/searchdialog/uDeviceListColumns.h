#pragma once
// The widths of the search dialog's list columns: the design's, or the
// user's own (remembered, or dragged to), widened as rows come in so that a
// device's texts are not cut.

#include <QObject>

#include <array>
#include <cstddef>

class QTableWidget;

namespace devicelist {

// The columns whose width is the user's: all but the hidden adapter column.
inline constexpr std::size_t kSizedColumns = 5;
// The widest a column grows for its texts; a longer text is cut and shows
// itself whole as the cell's tooltip.
inline constexpr int kMaxFittedWidth = 400;

class TDeviceListColumns final : public QObject {
public:
    // Gives the list its design widths; a child of the list.
    explicit TDeviceListColumns(QTableWidget* list);

    // Per column the width the user wants at least: the design width, a
    // remembered one or the one the column was last dragged to.
    const std::array<int, kSizedColumns>& UserWidths() const { return userWidths_; }
    void SetUserWidth(std::size_t column, int width);

    // Sets each column to the width of its widest text (at most
    // kMaxFittedWidth), never narrower than its user width. An empty list
    // keeps its widths.
    void FitToContent();

private:
    void Resize(std::size_t column, int width);

    QTableWidget* list_;
    std::array<int, kSizedColumns> userWidths_{};
    bool resizing_ = false; // a width set here, not dragged by the user
};

} // namespace devicelist
