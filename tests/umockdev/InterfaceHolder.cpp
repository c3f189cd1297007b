// Another program that holds the Brimel, for the busy tests: it opens the first
// 10c4:ea61 device with libusb and claims interface 0 as the window programs do (the
// serial driver detached), says "claimed" on standard output, and keeps the interface
// until its standard input ends; then it releases it (the serial driver goes back) and
// ends with 0. A claim that fails is told as "failed <libusb error name>", exit 1.
#include <libusb.h>
#include <unistd.h>

#include <cstdio>

int main() {
    libusb_context *context = nullptr;
    if (libusb_init(&context) != LIBUSB_SUCCESS) {
        std::puts("failed libusb_init");
        return 1;
    }
    libusb_device_handle *handle = libusb_open_device_with_vid_pid(context, 0x10C4, 0xEA61);
    if (handle == nullptr) {
        std::puts("failed open");
        libusb_exit(context);
        return 1;
    }
    libusb_set_auto_detach_kernel_driver(handle, 1);
    const int claimed = libusb_claim_interface(handle, 0);
    std::printf("%s%s\n", claimed == LIBUSB_SUCCESS ? "claimed" : "failed ",
                claimed == LIBUSB_SUCCESS ? "" : libusb_error_name(claimed));
    std::fflush(stdout);
    if (claimed == LIBUSB_SUCCESS) {
        char buffer[64];
        while (::read(0, buffer, sizeof buffer) > 0) {
        }
        libusb_release_interface(handle, 0);
    }
    libusb_close(handle);
    libusb_exit(context);
    return claimed == LIBUSB_SUCCESS ? 0 : 1;
}
