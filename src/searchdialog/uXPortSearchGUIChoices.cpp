// The search dialog's remembered choices and its layout at any size.

#include "searchdialog/uDeviceListColumns.h"
#include "searchdialog/uUserChoices.h"
#include "searchdialog/uXPortSearchGUI.h"
#include "ui_uXPortSearchGUI.h"

#include <QLabel>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>

void TfXPortSearchGUI::RestoreChoices() {
    const userchoices::TSearchDialogChoices c = userchoices::ReadSearchDialogChoices(ChoicesStore);
    QSize size(c.Width.value_or(width()), c.Height.value_or(height()));
    // A size from a larger screen still fits this one.
    if (const QScreen* s = screen()) {
        size = size.boundedTo(s->availableGeometry().size());
    }
    resize(size.expandedTo(minimumSize()));
    LayOutList();
    for (std::size_t i = 0; i < c.ColumnWidths.size(); ++i) {
        if (c.ColumnWidths[i]) {
            columns_->SetUserWidth(i, *c.ColumnWidths[i]);
        }
    }
    if (c.SortColumn) {
        sortColumn_ = *c.SortColumn;
        lastSortColumn_ = *c.SortColumn;
    }
    if (c.ProductionOnly) {
        productionOnly_ = *c.ProductionOnly;
    }
}

void TfXPortSearchGUI::SaveChoices() {
    userchoices::TSearchDialogChoices c;
    c.Width = width();
    c.Height = height();
    for (std::size_t i = 0; i < c.ColumnWidths.size(); ++i) {
        c.ColumnWidths[i] = columns_->UserWidths()[i];
    }
    // The column the user sorted by with a click on its header.
    c.SortColumn = lastSortColumn_;
    c.ProductionOnly = productionOnly_;
    userchoices::WriteSearchDialogChoices(ChoicesStore, c);
}

void TfXPortSearchGUI::LayOutList() {
    if (!labProgress_ || !labNote_) {
        return; // still being made
    }
    const int panelHeight = ui_->PnlButtons->height();
    const int listHeight = std::max(0, height() - panelHeight);
    ui_->LvDeviceList->setGeometry(0, 0, width(), listHeight);
    ui_->PnlButtons->setGeometry(0, listHeight, width(), panelHeight);
    // The progress and note strips lie over the foot of the list.
    const int strip = labProgress_->height();
    const QRect foot(2, listHeight - strip - 2, std::max(0, width() - 4), strip);
    labProgress_->setGeometry(foot);
    labNote_->setGeometry(foot);
}

void TfXPortSearchGUI::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayOutList();
}
