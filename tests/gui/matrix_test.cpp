// The colour matrix on the standard form (integer offset spin boxes).
#include "MatrixChecks.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    MatrixChecks checks("QSpinBox");
    return QTest::qExec(&checks, argc, argv);
}

#include "moc_MatrixChecks.cpp"
