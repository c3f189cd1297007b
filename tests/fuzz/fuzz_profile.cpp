// Fuzzes the profile reader with arbitrary text. Whatever it accepts must survive a
// round trip: written out and read again it is the same profile, and writing that one
// gives the same text. Anything else aborts.
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/Profile.h"

namespace {

bool sameMatrix(const brimel::MatrixValues &a, const brimel::MatrixValues &b) {
    return a.offsets == b.offsets && a.coefficients == b.coefficients;
}

bool sameProfile(const brimel::cli::Profile &a, const brimel::cli::Profile &b) {
    if (a.settings != b.settings) return false;
    if (a.matrix.has_value() != b.matrix.has_value()) return false;
    if (a.matrix && !sameMatrix(*a.matrix, *b.matrix)) return false;
    return a.hdrInfoframe == b.hdrInfoframe && a.aviInfoframe == b.aviInfoframe && a.edid == b.edid;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const brimel::cli::ProfileRead read = brimel::cli::readProfile(text);
    if (!read.profile) {
        if (read.error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    if (!read.error.empty()) std::abort();

    const std::string written = brimel::cli::writeProfile(*read.profile);
    const brimel::cli::ProfileRead again = brimel::cli::readProfile(written);
    if (!again.profile) std::abort();  // the reader refuses what the writer wrote
    if (!sameProfile(*read.profile, *again.profile)) std::abort();
    if (brimel::cli::writeProfile(*again.profile) != written) std::abort();
    return 0;
}
