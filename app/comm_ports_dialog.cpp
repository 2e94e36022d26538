#include "app/comm_ports_dialog.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "app/dialog_template.h"
#include "app/resource_ids.h"
#include "platform/platform.h"
#include "serial/port_list.h"
#include "settings/app_settings.h"

namespace {

const char* const kCaption = "Set Comm Ports";
const char* const kPathMissing =
    "Please enter the device path of both ports, for example /dev/ttyUSB0.";

constexpr ControlSpec kControls[] = {
    {res::IDC_COM1_DEVICE_LABEL, ControlKind::RightText, "COM1 device:", 7, 16, 57, 8},
    {res::IDC_COM1_DEVICE, ControlKind::EditCombo, "", 68, 14, 225, 14},
    {res::IDC_COM2_DEVICE_LABEL, ControlKind::RightText, "COM2 device:", 7, 34, 57, 8},
    {res::IDC_COM2_DEVICE, ControlKind::EditCombo, "", 68, 32, 225, 14},
    {res::IDOK, ControlKind::DefPushButton, "OK", 88, 55, 50, 14},
    {res::IDCANCEL, ControlKind::PushButton, "Cancel", 162, 55, 50, 14},
};

// Wide enough for the long stable names under /dev/serial/by-id.
constexpr DialogTemplate kTemplate = {kCaption, 300, 76, DialogFont::Standard, kControls};

void fillField(QComboBox* field, const std::vector<std::string>& devices,
               const std::string& current) {
    for (const std::string& device : devices) field->addItem(QString::fromStdString(device));
    field->setEditText(QFile::decodeName(QByteArray::fromStdString(current)));
}

std::string fieldPath(const QComboBox* field) {
    return QFile::encodeName(field->currentText().trimmed()).toStdString();
}

bool acceptablePath(const std::string& path) {
    return !path.empty() && path.size() <= kDevicePathMax;
}

}  // namespace

CommPortsDialog::CommPortsDialog(const std::string& com1Device, const std::string& com2Device,
                                 QWidget* parent, const DeviceLister& listDevices)
    : QDialog(parent), com1Device_(com1Device), com2Device_(com2Device) {
    QWidget* client = buildDialog(this, kTemplate);

    const std::vector<std::string> devices = listDevices ? listDevices() : serialListDevices();
    com1Field_ = findControl<QComboBox>(client, res::IDC_COM1_DEVICE);
    com2Field_ = findControl<QComboBox>(client, res::IDC_COM2_DEVICE);
    fillField(com1Field_, devices, com1Device);
    fillField(com2Field_, devices, com2Device);
    com1Field_->setFocus();
}

void CommPortsDialog::accept() {
    const std::string com1 = fieldPath(com1Field_);
    const std::string com2 = fieldPath(com2Field_);
    if (!acceptablePath(com1) || !acceptablePath(com2)) {
        platformMessageBox(kPathMissing, kCaption, msgbox::Ok | msgbox::IconInformation);
        return;
    }
    com1Device_ = com1;
    com2Device_ = com2;
    QDialog::accept();
}
