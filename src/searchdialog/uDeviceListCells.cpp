#include "searchdialog/uDeviceListCells.h"

#include "guicommon/uGuiCommon.h"
#include "search/uXPortSearch.h"
#include "searchdialog/rules/uDeviceListRules.h"

#include <QApplication>
#include <QBrush>
#include <QPalette>
#include <QStyle>
#include <QTableWidget>

namespace devicelist {

namespace {

int Compare(std::size_t column, const TDeviceRow& a, const TDeviceRow& b) {
    if (column >= a.Fields.size()) {
        return 0;
    }
    const std::string& x = a.Fields[column];
    const std::string& y = b.Fields[column];
    switch (column) {
    case colIP:
        return CompareIPAddress(x, y);
    case colMAC:
        return CompareMACAddress(x, y);
    case colFirmware:
        return CompareFirmware(x, y);
    default:
        return CompareText(x, y);
    }
}

// Whether the column is too narrow for the whole text, with the margins the
// item delegate draws around it.
bool TextCut(const QTableWidget* list, int column, const QString& text) {
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    return list->fontMetrics().horizontalAdvance(text) + 2 * margin > list->columnWidth(column);
}

} // namespace

TDeviceCell::TDeviceCell(std::shared_ptr<const TDeviceRow> row, std::size_t column)
    : QTableWidgetItem(VisibleDisplayText(row->Fields[column]), UserType), row_(std::move(row)),
      column_(column) {}

QVariant TDeviceCell::data(int role) const {
    // Dimmed rows take a greyed text colour in every column.
    if (role == Qt::ForegroundRole && !row_->Active) {
        return QBrush(QApplication::palette().color(QPalette::Disabled, QPalette::Text));
    }
    // A text the column cuts short shows itself whole when pointed at.
    if (role == Qt::ToolTipRole) {
        const QTableWidget* list = tableWidget();
        const QString text = QTableWidgetItem::data(Qt::DisplayRole).toString();
        if (list && !text.isEmpty() && TextCut(list, column(), text)) {
            return text;
        }
        return {};
    }
    return QTableWidgetItem::data(role);
}

bool TDeviceCell::operator<(const QTableWidgetItem& other) const {
    const auto* cell = dynamic_cast<const TDeviceCell*>(&other);
    if (!cell) {
        return QTableWidgetItem::operator<(other);
    }
    // A table sorts by comparing the cells of the sort column.
    return Compare(column_, *row_, *cell->row_) < 0;
}

void AppendDeviceRow(QTableWidget* list, const TXportPar& device) {
    auto row = std::make_shared<TDeviceRow>();
    row->Fields = {device.IP,         device.MAC,         device.Firmware,
                   device.DeviceType, device.Description, device.AdapterIP};
    row->StatusChar = device.StatusChar;
    row->Active = IsRowActive(device.Firmware, device.StatusChar);
    const int index = list->rowCount();
    list->insertRow(index);
    for (std::size_t c = 0; c < row->Fields.size(); ++c) {
        list->setItem(index, static_cast<int>(c), new TDeviceCell(row, c));
    }
}

const TDeviceRow* RowAt(const QTableWidget* list, int row) {
    const auto* cell = dynamic_cast<const TDeviceCell*>(list->item(row, 0));
    return cell ? &cell->Row() : nullptr;
}

} // namespace devicelist
