// Slots that write single device settings, the resets and the settings-block write.
#include "app/CorbanelForm.h"

void MainWindow::SetActivePort() {}
void MainWindow::SetAutoSwitch() {}
void MainWindow::SetHDCP_Version() {}
void MainWindow::SetEPState() {}
void MainWindow::setScaling() {}
void MainWindow::setCsc() {}
void MainWindow::setDownCsc() {}
void MainWindow::setDeepColor() {}
void MainWindow::setDsDeepColor() {}
void MainWindow::setPreset4k30() {}
void MainWindow::setPreset4k60() {}
void MainWindow::setPreset4k30Mode() {}
void MainWindow::setPreset4k60Mode() {}
void MainWindow::setIgnoreEdid() {}
void MainWindow::setHtpc() {}
void MainWindow::setPreset300() {}
void MainWindow::setAviCustom() {}
void MainWindow::setSwPriority() {}
void MainWindow::hdrForceActivate() {}
void MainWindow::setLogoLed() {}
void MainWindow::setBt2020Force() {}
void MainWindow::setAviDisable() {}
void MainWindow::setHdrDisable() {}
void MainWindow::setAutoFillCrc() {}
void MainWindow::resetBrimel() {}
void MainWindow::factoryReset() {}
