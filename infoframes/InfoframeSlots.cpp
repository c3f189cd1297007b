// Slots that send the custom HDR and AVI infoframes.
#include "app/CorbanelForm.h"

void MainWindow::WriteIF() {}
bool MainWindow::sendAVI() { return false; }
void MainWindow::showStoredInfoframes(const brimel::ReplyBuffer &, bool, const brimel::ReplyBuffer &,
                                      bool) {}
