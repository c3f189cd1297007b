// Slots that move EDIDs between the text, the device and the display.
#include "app/CorbanelForm.h"

void MainWindow::on_ProgressChange(int, int) {}
void MainWindow::ReadEDID() {}
bool MainWindow::ReadTvEDID() { return false; }
void MainWindow::WriteEDID() {}
void MainWindow::CalculateChkSum() {}
void MainWindow::SetEDID_Mode() {}
void MainWindow::changeCustomEdid() {}
