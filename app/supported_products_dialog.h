// The Supported Products dialog: the capturable products and their IDs.
//
// Opening it also clears the sticky serial and receive-queue error flags, so
// that a fault latched by an earlier link operation is not reported by the
// next download.
#pragma once

#include <QDialog>

class SupportedProductsDialog : public QDialog {
    Q_OBJECT

  public:
    explicit SupportedProductsDialog(QWidget* parent = nullptr);
};
