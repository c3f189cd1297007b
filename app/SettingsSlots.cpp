// Slots that write single device settings, the resets and the settings-block write.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <optional>

#include "app/CorbanelForm.h"
#include "settings/RegisterMap.h"
#include "ui_CorbanelForm.h"

using namespace brimel;

namespace {
constexpr int kNoticeMs = 2000;

// The register code of a combo box's current index; nothing for an index the
// register's values do not map (also -1, a box without a current item).
std::optional<std::uint8_t> comboCode(std::uint8_t reg, const QComboBox *box) {
    const Setting *setting = findRegister(reg);
    if (setting == nullptr) return std::nullopt;
    return setting->codes().toCode(box->currentIndex());
}

std::uint8_t onOff(const QAbstractButton *button) {
    return button->isChecked() ? 1 : 0;
}
}  // namespace

void MainWindow::writeSetting(std::uint8_t r, std::uint8_t value) {
    const Setting *info = findRegister(r);
    if (info == nullptr) return;
    if (info->gated && !startupComplete_) return;
    writeRegister(r, value);
    if (info->mirror) mirror_.set(*info->mirror, value);
}

// Two-state controls: the first control of the pair decides the value.

void MainWindow::SetActivePort() {
    writeSetting(reg::ActivePort, ui->rbInA->isChecked() ? 2 : 0);
}

void MainWindow::SetAutoSwitch() {
    writeSetting(reg::AutoSwitch, onOff(ui->autoSwEn));
}

void MainWindow::setSwPriority() {
    writeSetting(reg::SwitchPriority, onOff(ui->pPrioForce));
}

void MainWindow::setAviCustom() {
    writeSetting(reg::AviCustom, onOff(ui->cbAviCustom));
}

void MainWindow::setAutoFillCrc() {
    writeSetting(reg::HdrCrcAutofill, onOff(ui->cbHdrCRC));
}

void MainWindow::hdrForceActivate() {
    writeSetting(reg::HdrCustom, onOff(ui->cbHdrCustom));
}

void MainWindow::setAviDisable() {
    writeSetting(reg::AviDisable, onOff(ui->cbAviDisable));
}

void MainWindow::setHdrDisable() {
    writeSetting(reg::HdrDisable, onOff(ui->cbHdrDisable));
}

void MainWindow::setLogoLed() {
    writeSetting(reg::LogoLed, onOff(ui->enableLed));
}

void MainWindow::setIgnoreEdid() {
    writeSetting(reg::IgnoreEdid, onOff(ui->cbIgnoreEdid));
}

void MainWindow::setHtpc() {
    writeSetting(reg::Htpc, onOff(ui->rbHtpcOn));
}

// Several-choice controls: the first checked one decides; none checked sends nothing.

void MainWindow::setScaling() {
    if (ui->rbScaleUp->isChecked())
        writeSetting(reg::Scaling, 0);
    else if (ui->rbScaleThru->isChecked())
        writeSetting(reg::Scaling, 1);
    else if (ui->rbScaleDown->isChecked())
        writeSetting(reg::Scaling, 2);
}

void MainWindow::SetHDCP_Version() {
    if (ui->hdcp14->isChecked())
        writeSetting(reg::HdcpVersion, 2);
    else if (ui->hdcp22->isChecked())
        writeSetting(reg::HdcpVersion, 3);
}

void MainWindow::setBt2020Force() {
    if (ui->cbBt2020Follow->isChecked())
        writeSetting(reg::Bt2020Force, 0);
    else if (ui->cbBt2020On->isChecked())
        writeSetting(reg::Bt2020Force, 1);
    else if (ui->cbBt2020Off->isChecked())
        writeSetting(reg::Bt2020Force, 2);
}

// Combo boxes: the current index through its code table; an index the table does not
// map (also -1, a box left without a current item by the read-back) sends nothing.

void MainWindow::setCsc() {
    if (const auto code = comboCode(reg::CscOut, ui->cmbCscOut)) writeSetting(reg::CscOut, *code);
}

void MainWindow::setDeepColor() {
    if (const auto code = comboCode(reg::DeepColor, ui->cmbDeepColor))
        writeSetting(reg::DeepColor, *code);
}

void MainWindow::setDownCsc() {
    if (const auto code = comboCode(reg::DownCscOut, ui->cmbDownCscOut))
        writeSetting(reg::DownCscOut, *code);
}

void MainWindow::setDsDeepColor() {
    if (const auto code = comboCode(reg::DsDeepColor, ui->cmbDsDeepColor))
        writeSetting(reg::DsDeepColor, *code);
}

void MainWindow::setPreset4k30Mode() {
    if (const auto code = comboCode(reg::Preset4k30Mode, ui->cmbPreset4k30))
        writeSetting(reg::Preset4k30Mode, *code);
}

void MainWindow::setPreset4k60Mode() {
    if (const auto code = comboCode(reg::Preset4k60Mode, ui->cmbPreset4k60))
        writeSetting(reg::Preset4k60Mode, *code);
}

// Preset switches: the switch, then its mode, so the device has both.

void MainWindow::setPreset4k30() {
    writeSetting(reg::Preset4k30, onOff(ui->cbPreset4k30));
    setPreset4k30Mode();
}

void MainWindow::setPreset4k60() {
    writeSetting(reg::Preset4k60, onOff(ui->cbPreset4k60));
    setPreset4k60Mode();
}

void MainWindow::setPreset300() {}

// Neither reset is gated, and neither sets a mirror entry.
void MainWindow::resetBrimel() {
    writeReported(session_.resetDevice());
}

void MainWindow::factoryReset() {
    if (ui->leReset->text() != QLatin1String("RESET")) {
        showStatus(tr("Type RESET into the text box and click OK"), kNoticeMs);
        return;
    }
    const bool settings = ui->cbClearSettings->isChecked();
    const bool edid = ui->cbClearEdid->isChecked();
    if (settings || edid) {
        writeReported(session_.factoryReset(settings, edid));
    } else {
        showStatus(tr("Choose the reset from the checkboxes"), kNoticeMs);
    }
    ui->leReset->clear();
    ui->cbClearSettings->setChecked(false);
    ui->cbClearEdid->setChecked(false);
}

// Entries 0 to 39 of the mirror: the device's last reported block with the slots'
// changes since.
void MainWindow::SetEPState() {
    writeSettingsBlock(mirror_.blockToWrite());
}
