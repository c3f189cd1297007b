// The custom infoframe editor in the brimel-200 form: "Autofill CRC" calls no slot
// there, yet its checked state still decides the HDR checksum.
#include <QCheckBox>
#include <QPushButton>
#include <QTextEdit>

#include "GuiTestKit.h"

using brimel::Bytes;

class InfoframeB200Test : public QObject {
    Q_OBJECT

private slots:
    void autofillIsReadThoughItWritesNothing() {
        struct Case {
            int clicks;  // clicks on "Autofill CRC", which starts unchecked
            Bytes data;
        };
        const Case cases[] = {
            {1, bytes({0x10, 0x05, 0xE5, 0x87, 0x01, 0x1A, 0x5C, 0x02})},
            {2, bytes({0x10, 0x05, 0xE5, 0x87, 0x01, 0x1A, 0x00, 0x02})},
        };
        for (const Case &c : cases) {
            GuiRig rig;
            rig.start();
            rig.takeFrames();
            rig.status.clear();
            auto *autofill = rig.control<QCheckBox>("cbHdrCRC");
            QVERIFY(!autofill->isChecked());
            for (int i = 0; i < c.clicks; ++i) autofill->click();
            QVERIFY(rig.takeFrames().empty());

            rig.control<QTextEdit>("HDRCustomText")->setPlainText("87:01:1a:00:02");
            rig.control<QPushButton>("ButWriteIF")->click();
            QCOMPARE(rig.takeFrames(),
                     (std::vector<Bytes>{c.data, bytes({0x10, 0x05, 0xB3, 0x20})}));
            QCOMPARE(rig.status,
                     (std::vector<StatusMessage>{{"Infoframe values written...", 2000}}));
            QCOMPARE(rig.control<QTextEdit>("HDRCustomText")->toPlainText(),
                     QStringLiteral("87:01:1a:00:02"));
        }
    }

    void aviAndStartupTextAsInTheStandardForm() {
        GuiRig rig;
        rig.start();
        QVERIFY(rig.control<QTextEdit>("HDRCustomText")->toPlainText().startsWith("87:01:1a:"));
        QVERIFY(rig.control<QTextEdit>("AVICustomText")->toPlainText().startsWith("82:02:0d:"));
        rig.takeFrames();
        rig.control<QTextEdit>("AVICustomText")->setPlainText("82:02:0D:00:10");
        rig.control<QPushButton>("ButWriteAVI")->click();
        QCOMPARE(rig.takeFrames(),
                 (std::vector<Bytes>{bytes({0x10, 0x05, 0xE6, 0x82, 0x02, 0x0D, 0x00, 0x10}),
                                     bytes({0x10, 0x05, 0xB3, 0x80})}));
    }
};

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    InfoframeB200Test t;
    return QTest::qExec(&t, argc, argv);
}

#include "infoframe_b200test.moc"
