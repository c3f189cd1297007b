// Colour matrix coding: coefficients, offsets, the block layout and the write frame.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "settings/MatrixCoding.h"

namespace {

using brimel::MatrixBlock;

struct CoefficientCase {
    double value;
    std::uint16_t raw;
};

// Truncation toward zero on both sides, the two's complement of negatives and the
// ends of the spin boxes' range (+-3) and of the 16-bit field.
const CoefficientCase kCoefficients[] = {
    {0.0, 0x0000},     {1.164, 9535},     {-0.213, 0xF930},  // -1744, not -1745
    {-0.533, 0xEEF2},  {2.112, 0x4395},   {1.793, 0x3960},   {1.0, 0x2000},      {-1.0, 0xE000},
    {3.0, 0x6000},     {-3.0, 0xA000},    {0.00013, 0x0001}, {-0.00013, 0xFFFF}, {0.0001, 0x0000},
    {-0.0001, 0x0000}, {3.99999, 0x7FFF}, {-4.0, 0x8000},    {5.0, 0x7FFF},      {-5.0, 0x8000},
};

TEST(MatrixCoding, EncodesCoefficientsTruncatingTowardZero) {
    for (const auto &c : kCoefficients)
        EXPECT_EQ(brimel::encodeCoefficient(c.value), c.raw) << c.value;
}

TEST(MatrixCoding, NanCoefficientAndOffsetCodeAsZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(brimel::encodeCoefficient(nan), 0);
    EXPECT_EQ(brimel::encodeOffset(nan), 0);
}

TEST(MatrixCoding, DecodesTwosComplementCoefficients) {
    const struct {
        std::uint16_t raw;
        double value;
    } cases[] = {
        {0x0000, 0.0},
        {0x2000, 1.0},
        {0xE000, -1.0},
        {0x8000, -4.0},
        {0x7FFF, 32767 / 8192.0},
        {0xF930, -1744 / 8192.0},
        {0xFFFF, -1 / 8192.0},
        {0x6000, 3.0},
        {0xA000, -3.0},
    };
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(brimel::decodeCoefficient(c.raw), c.value) << c.raw;
}

TEST(MatrixCoding, OffsetsTravelInTheHighByte) {
    const struct {
        double offset;
        std::uint16_t field;
    } enc[] = {{0, 0x0000},      {1, 0x0100},  {18, 0x1200}, {255, 0xFF00},
               {18.999, 0x12FF}, {-1, 0x0000}, {300, 0xFFFF}};
    for (const auto &c : enc) EXPECT_EQ(brimel::encodeOffset(c.offset), c.field) << c.offset;

    const struct {
        std::uint16_t field;
        int offset;
    } dec[] = {{0x0000, 0}, {0x12AB, 18}, {0x00FF, 0}, {0xFF00, 255}, {0xFFFF, 255}};
    for (const auto &c : dec) EXPECT_EQ(brimel::decodeOffset(c.field), c.offset) << c.field;
}

// The form's initial matrix on the wire.
const MatrixBlock kStandardBlock{0x3F, 0x25, 0x30, 0xF9, 0xF2, 0xEE, 0x3F, 0x25,
                                 0x95, 0x43, 0x00, 0x00, 0x3F, 0x25, 0x00, 0x00,
                                 0x60, 0x39, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST(MatrixCoding, StandardMatrixFrame) {
    const brimel::Frame frame =
        brimel::matrixWriteFrame(brimel::encodeMatrix(brimel::standardMatrix()));
    std::vector<std::uint8_t> expected{0x10, 0x18, 0xE8};
    expected.insert(expected.end(), kStandardBlock.begin(), kStandardBlock.end());
    EXPECT_EQ(frame, expected);
}

// Each field lands at its own place: rows G, B, R for the coefficients, R, G, B for
// the offsets, low byte first.
TEST(MatrixCoding, BlockLayoutPutsEveryFieldInItsPlace) {
    brimel::MatrixValues m;
    // Coefficient [row][col] = (row * 3 + col + 1) / 8192, offsets 1, 2, 3.
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < 3; ++c)
            m.coefficients[r][c] = static_cast<double>(r * 3 + c + 1) / 8192.0;
    m.offsets = {1, 2, 3};
    const MatrixBlock expected{4, 0, 5, 0, 6, 0,  // G
                               7, 0, 8, 0, 9, 0,  // B
                               1, 0, 2, 0, 3, 0,  // R
                               0, 1, 0, 2, 0, 3};
    EXPECT_EQ(brimel::encodeMatrix(m), expected);

    const brimel::MatrixValues back = brimel::decodeMatrix(expected);
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_DOUBLE_EQ(back.coefficients[r][c], m.coefficients[r][c]) << r << "," << c;
    EXPECT_EQ(back.offsets, m.offsets);
}

TEST(MatrixCoding, DecodingTheStandardBlockGivesTheTruncatedValues) {
    const brimel::MatrixValues m = brimel::decodeMatrix(kStandardBlock);
    const std::array<std::array<double, 3>, 3> raws{
        {{9535, 0, 14688}, {9535, -1744, -4366}, {9535, 17301, 0}}};
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_DOUBLE_EQ(m.coefficients[r][c], raws[r][c] / 8192.0) << r << "," << c;
    EXPECT_EQ(m.offsets, (std::array<double, 3>{0, 0, 0}));
}

}  // namespace
