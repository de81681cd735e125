#pragma once
// The rows of the search dialog's device list: each row's six cells share one
// record of the device's texts, sort by the list's rules and grey out the
// rows of devices that cannot be worked with. A text its column cuts short
// is the cell's tooltip.

#include <QTableWidgetItem>

#include <array>
#include <cstddef>
#include <memory>
#include <string>

class QTableWidget;
struct TXportPar;

namespace devicelist {

enum TColumn { colIP, colMAC, colFirmware, colDeviceType, colDescription, colAdapter };

// The columns' design widths in pixels, by column; the adapter's is hidden.
inline constexpr std::array<int, 6> kColumnWidths = {90, 125, 60, 80, 156, 0};

// Copies of the device's texts and the Active flag, released with the last
// cell of the row.
struct TDeviceRow {
    std::array<std::string, 6> Fields; // by column
    std::string StatusChar;            // not shown, but copied and saved
    bool Active = true;
};

class TDeviceCell final : public QTableWidgetItem {
public:
    TDeviceCell(std::shared_ptr<const TDeviceRow> row, std::size_t column);

    const TDeviceRow& Row() const { return *row_; }
    QVariant data(int role) const override;
    bool operator<(const QTableWidgetItem& other) const override;

private:
    std::shared_ptr<const TDeviceRow> row_;
    std::size_t column_;
};

// Appends the device's row at the foot of the list.
void AppendDeviceRow(QTableWidget* list, const TXportPar& device);

// The record of a row; null when the row has none.
const TDeviceRow* RowAt(const QTableWidget* list, int row);

} // namespace devicelist
