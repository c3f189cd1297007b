// Coding of the 3x3 colour matrix: coefficients as 16-bit fixed point with 13 fraction
// bits, offsets as offset x 256, the 24-byte block the device reads and writes, and
// the matrix write frame.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "device/Frames.h"

namespace brimel {

inline constexpr std::size_t kMatrixBlockSize = 24;
using MatrixBlock = std::array<std::uint8_t, kMatrixBlockSize>;

// Raw steps per 1.0 of a coefficient (13 fraction bits).
inline constexpr double kCoefficientScale = 8192.0;
// An offset travels in the high byte of its 16-bit field.
inline constexpr double kOffsetScale = 256.0;

// The matrix as the form shows it: output = offset + coefficients x input.
// Rows are the outputs R, G, B; columns the inputs Y, Cb, Cr.
struct MatrixValues {
    std::array<double, 3> offsets{};                      // R, G, B
    std::array<std::array<double, 3>, 3> coefficients{};  // [R, G, B][Y, Cb, Cr]
};

// value x 8192 truncated toward zero, as 16-bit two's complement. Values beyond the
// 16-bit range are held at its ends; NaN codes as 0.
std::uint16_t encodeCoefficient(double value);
// The 16-bit field read as two's complement, divided by 8192 (-4.0 up to 3.9999).
double decodeCoefficient(std::uint16_t raw);

// offset x 256 truncated toward zero, held within 0..0xFFFF (NaN codes as 0).
std::uint16_t encodeOffset(double offset);
// The field divided by 256; the low byte is dropped.
int decodeOffset(std::uint16_t field);

// Block layout: coefficient rows G, B, R (each Y, Cb, Cr), then offsets R, G, B;
// every field 16 bits, low byte first.
MatrixBlock encodeMatrix(const MatrixValues &values);
MatrixValues decodeMatrix(std::span<const std::uint8_t, kMatrixBlockSize> block);

// BT.709 limited-range YCbCr to RGB, offsets 0: the form's initial matrix.
MatrixValues standardMatrix();

// 0x10, 0x18, 0xE8 and the block: 27 bytes.
Frame matrixWriteFrame(const MatrixBlock &block);

}  // namespace brimel
