// The Set Comm Ports dialog: which serial device is port 1 ("COM1") and
// which is port 2 ("COM2"). Each field offers the serial devices present
// and also takes a path typed by hand (an adapter may be plugged in later).
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QComboBox;

class CommPortsDialog : public QDialog {
    Q_OBJECT

  public:
    using DeviceLister = std::function<std::vector<std::string>()>;

    // `listDevices` gives the devices offered; the serial layer's list by default.
    CommPortsDialog(const std::string& com1Device, const std::string& com2Device,
                    QWidget* parent = nullptr, const DeviceLister& listDevices = {});

    // The chosen paths; meaningful once the dialog was accepted.
    const std::string& com1Device() const { return com1Device_; }
    const std::string& com2Device() const { return com2Device_; }

  public slots:
    // OK: both paths must be given (and not absurdly long), else a message
    // is shown and the dialog stays open.
    void accept() override;

  private:
    std::string com1Device_;
    std::string com2Device_;
    QComboBox* com1Field_ = nullptr;
    QComboBox* com2Field_ = nullptr;
};
