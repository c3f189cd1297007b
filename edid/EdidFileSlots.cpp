// Slots that load and save EDID files.
#include "app/CorbanelForm.h"

void MainWindow::SaveEDIDtoFile() {}
void MainWindow::LoadEDIDfromFile() {}
