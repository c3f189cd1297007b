// The standard main form: widget tree, texts, fonts, groups, connections and layout.
#include "FormChecks.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    FormChecks checks(FormVariant::Standard);
    return QTest::qExec(&checks, argc, argv);
}

#include "moc_FormChecks.cpp"
