// A program made of the session and the layers below it, on the real USB backend: the
// layering check reads which shared libraries it needs.
#include <cstdio>

#include "device/Clock.h"
#include "device/LibusbLibrary.h"
#include "session/Session.h"

int main() {
    brimel::LibusbLibrary usb;
    brimel::SteadyClock clock;
    brimel::Session session(usb, clock);
    std::printf("%zu\n", session.enumerate().size());
    return 0;
}
