// The colour matrix on the brimel-200 form (floating-point offset spin boxes): the
// same frames and values as the standard form.
#include "MatrixChecks.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    MatrixChecks checks("QDoubleSpinBox");
    return QTest::qExec(&checks, argc, argv);
}

#include "moc_MatrixChecks.cpp"
