#include "app/about_dialog.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "app/dialog_template.h"
#include "app/resource_ids.h"
#include "app/version_history.h"
#include "lumagrab_version.h"

namespace {

constexpr ControlSpec kControls[] = {
    {kNoControlId, ControlKind::Icon, "", 11, 17, 20, 20},
    {kNoControlId, ControlKind::Text, "GPS Lumagrab", 40, 16, 112, 8},
    {kNoControlId, ControlKind::Text, "Screen capture, version " LUMAGRAB_VERSION, 40, 29, 112, 8},
    {res::IDOK, ControlKind::DefPushButton, "OK", 177, 13, 50, 14},
    {res::IDC_HISTORY_LABEL, ControlKind::Text, "Version History:", 15, 44, 71, 10},
    {res::IDC_HISTORY, ControlKind::HistoryView, "", 15, 54, 212, 90},
};

constexpr DialogTemplate kTemplate = {"About GPSLumagrab", 242, 151, DialogFont::Standard,
                                      kControls};

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    QWidget* client = buildDialog(this, kTemplate);
    auto* ok = findControl<QPushButton>(client, res::IDOK);
    // The text keeps CR LF line ends; the view wants bare line feeds.
    findControl<QPlainTextEdit>(client, res::IDC_HISTORY)
        ->setPlainText(QString::fromUtf8(kVersionHistory).replace(QStringLiteral("\r\n"), "\n"));
    ok->setFocus();
}
