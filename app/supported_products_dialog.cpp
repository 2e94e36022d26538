#include "app/supported_products_dialog.h"

#include <QListWidget>
#include <QPushButton>

#include "app/dialog_template.h"
#include "app/resource_ids.h"
#include "link/packet_link.h"
#include "catalogue/product_list.h"
#include "serial/serial_port.h"

namespace {

constexpr ControlSpec kControls[] = {
    {res::IDOK, ControlKind::DefPushButton, "OK", 67, 177, 50, 14},
    {res::IDC_PRODUCT_LIST, ControlKind::SortedList, "", 7, 19, 170, 154},
    {res::IDC_PRODUCTS_HEADING, ControlKind::Text, "Supported Products:", 7, 7, 77, 8},
    {res::IDC_PRODUCT_IDS_HEADING, ControlKind::Text, "Product IDs:", 114, 7, 49, 8},
};

// A fixed-pitch font, so that the padded ID column lines up.
constexpr DialogTemplate kTemplate = {"Lumagrab Help", 184, 198, DialogFont::FixedPitch, kControls};

}  // namespace

SupportedProductsDialog::SupportedProductsDialog(QWidget* parent) : QDialog(parent) {
    QWidget* client = buildDialog(this, kTemplate);
    auto* ok = findControl<QPushButton>(client, res::IDOK);

    auto* list = findControl<QListWidget>(client, res::IDC_PRODUCT_LIST);
    list->clear();
    for (const std::string& line : supportedProductLines()) {
        list->addItem(QString::fromStdString(line));
    }

    serialSetRxOverrun(0);
    serialSetTxFull(0);
    serialSetOtherError(0);
    linkSetOverflow(0);
    ok->setFocus();
}
