// Slots of the 3x3 colour matrix: write, read, enable and the standard values.
#include <QDoubleSpinBox>
#include <QSpinBox>

#include "app/CorbanelForm.h"
#include "settings/MatrixCoding.h"
#include "settings/RegisterMap.h"
#include "ui_CorbanelForm.h"

using namespace brimel;

namespace {
constexpr int kNoticeMs = 2000;
constexpr int kErrorMs = 4000;

// The offsets are QSpinBox in one form and QDoubleSpinBox in the other; these read
// and set either kind, so the same code serves both builds.
double spinValue(const QAbstractSpinBox *box) {
    if (const auto *d = qobject_cast<const QDoubleSpinBox *>(box)) return d->value();
    if (const auto *i = qobject_cast<const QSpinBox *>(box)) return i->value();
    return 0.0;
}

// The box rounds to its decimals and clamps to its range.
void setSpinValue(QAbstractSpinBox *box, double value) {
    if (auto *d = qobject_cast<QDoubleSpinBox *>(box))
        d->setValue(value);
    else if (auto *i = qobject_cast<QSpinBox *>(box))
        i->setValue(qRound(value));
}

// The spin boxes by place in the equation: rows R, G, B (the form's A, B, C).
struct MatrixBoxes {
    std::array<QAbstractSpinBox *, 3> offsets;
    std::array<std::array<QAbstractSpinBox *, 3>, 3> coefficients;  // [R, G, B][Y, Cb, Cr]
};

MatrixBoxes matrixBoxes(Ui::MainWindow &ui) {
    return {
        {ui.sbA0, ui.sbB0, ui.sbC0},
        {{{ui.sbA1, ui.sbA2, ui.sbA3}, {ui.sbB1, ui.sbB2, ui.sbB3}, {ui.sbC1, ui.sbC2, ui.sbC3}}}};
}

MatrixValues valuesOf(const MatrixBoxes &boxes) {
    MatrixValues m;
    for (std::size_t r = 0; r < 3; ++r) {
        m.offsets[r] = spinValue(boxes.offsets[r]);
        for (std::size_t c = 0; c < 3; ++c)
            m.coefficients[r][c] = spinValue(boxes.coefficients[r][c]);
    }
    return m;
}

// Coefficients first in the block's row order G, B, R, then the offsets R, G, B.
void showMatrix(const MatrixBoxes &boxes, const MatrixValues &m) {
    for (std::size_t r : {1u, 2u, 0u})
        for (std::size_t c = 0; c < 3; ++c)
            setSpinValue(boxes.coefficients[r][c], m.coefficients[r][c]);
    for (std::size_t r = 0; r < 3; ++r) setSpinValue(boxes.offsets[r], m.offsets[r]);
}
}  // namespace

void MainWindow::set3x() {
    if (session_.writeMatrix(encodeMatrix(valuesOf(matrixBoxes(*ui)))))
        showStatus(tr("Matrix values written..."), kNoticeMs);
    else
        showStatus(tr("Error Writing matrix values."), kErrorMs);
}

void MainWindow::set3xEn() {
    writeSetting(reg::MatrixEnable, ui->cb3x3En->isChecked() ? 1 : 0);
}

void MainWindow::read3x() {
    if (!startupComplete_) return;
    readMatrixFromDevice();
}

void MainWindow::reset3x3() {
    showMatrix(matrixBoxes(*ui), standardMatrix());
}

// A failed read leaves the boxes as they are: the reply is not to be trusted then.
void MainWindow::readMatrixFromDevice() {
    const auto block = session_.readMatrix();
    if (!block) {
        showStatus(tr("..."), kNoticeMs);
        return;
    }
    showMatrix(matrixBoxes(*ui), decodeMatrix(*block));
}
