// Colour matrix coding: fixed-point coefficients, offsets and the 24-byte block.
#include "settings/MatrixCoding.h"

#include <cmath>

#include "device/Commands.h"

namespace brimel {

namespace {

// Block positions of the form's rows: coefficient rows G, B, R, offsets R, G, B.
constexpr std::array<std::size_t, 3> kCoefficientRowOrder{1, 2, 0};
constexpr std::size_t kOffsetFieldsStart = 18;

// Truncates toward zero and holds the result within [lo, hi]; NaN gives 0. The
// clamp comes before the conversion to an integer, which is undefined out of range.
std::int32_t truncateClamped(double value, double lo, double hi) {
    if (std::isnan(value)) return 0;
    const double t = std::trunc(value);
    if (t < lo) return static_cast<std::int32_t>(lo);
    if (t > hi) return static_cast<std::int32_t>(hi);
    return static_cast<std::int32_t>(t);
}

void putField(MatrixBlock &block, std::size_t at, std::uint16_t field) {
    block.at(at) = static_cast<std::uint8_t>(field & 0xFF);
    block.at(at + 1) = static_cast<std::uint8_t>((field & 0xFF00) >> 8);
}

std::uint16_t getField(std::span<const std::uint8_t, kMatrixBlockSize> block, std::size_t at) {
    return static_cast<std::uint16_t>(block[at] | (block[at + 1] << 8));
}

}  // namespace

std::uint16_t encodeCoefficient(double value) {
    const std::int32_t raw = truncateClamped(value * kCoefficientScale, -32768.0, 32767.0);
    return static_cast<std::uint16_t>(raw < 0 ? raw + 0x10000 : raw);
}

double decodeCoefficient(std::uint16_t raw) {
    const std::int32_t v =
        raw >= 0x8000 ? static_cast<std::int32_t>(raw) - 0x10000 : static_cast<std::int32_t>(raw);
    return static_cast<double>(v) / kCoefficientScale;
}

std::uint16_t encodeOffset(double offset) {
    return static_cast<std::uint16_t>(truncateClamped(offset * kOffsetScale, 0.0, 65535.0));
}

int decodeOffset(std::uint16_t field) {
    return field / 256;
}

MatrixBlock encodeMatrix(const MatrixValues &values) {
    MatrixBlock block{};
    std::size_t at = 0;
    for (std::size_t row : kCoefficientRowOrder) {
        for (double c : values.coefficients[row]) {
            putField(block, at, encodeCoefficient(c));
            at += 2;
        }
    }
    for (std::size_t row = 0; row < 3; ++row)
        putField(block, kOffsetFieldsStart + 2 * row, encodeOffset(values.offsets[row]));
    return block;
}

MatrixValues decodeMatrix(std::span<const std::uint8_t, kMatrixBlockSize> block) {
    MatrixValues values;
    std::size_t at = 0;
    for (std::size_t row : kCoefficientRowOrder) {
        for (double &c : values.coefficients[row]) {
            c = decodeCoefficient(getField(block, at));
            at += 2;
        }
    }
    for (std::size_t row = 0; row < 3; ++row)
        values.offsets[row] = decodeOffset(getField(block, kOffsetFieldsStart + 2 * row));
    return values;
}

MatrixValues standardMatrix() {
    MatrixValues m;
    m.coefficients = {{{1.164, 0.0, 1.793}, {1.164, -0.213, -0.533}, {1.164, 2.112, 0.0}}};
    return m;
}

Frame matrixWriteFrame(const MatrixBlock &block) {
    return frameWith({kDirWrite, static_cast<std::uint8_t>(kMatrixBlockSize), cmd::Matrix}, block);
}

}  // namespace brimel
