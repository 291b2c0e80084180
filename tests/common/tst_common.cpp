#include "fit_text.h"
#include "module.h"
#include "msgbox.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

// What every window shares: captions fitted to their boxes and the message
// box.
class TestCommon : public QObject
{
    Q_OBJECT

private slots:
    // Captions that do not fit their boxes are set smaller, all alike, and no
    // smaller than they must, nor below six points.
    void captions_shrinkTogetherOnlyAsFarAsNeeded()
    {
        QWidget window;
        window.setFont(QFont(window.font().family(), 12));
        QPushButton shortOne(QStringLiteral("&OK"), &window);
        shortOne.setGeometry(0, 0, 300, 25);
        FitTextToBoxes({&shortOne});
        QCOMPARE(shortOne.font().pointSizeF(), 12.0);
        QCheckBox box(QStringLiteral("Use Auto-Complete for URL field (Requires Program Restart)"),
                      &window);
        box.setGeometry(0, 30, 300, 20);
        FitTextToBoxes({&box, &shortOne});
        QVERIFY(QFontMetrics(box.font()).horizontalAdvance(box.text()) < 300);
        QCOMPARE(shortOne.font(), box.font());
        QVERIFY(box.font().pointSizeF() > 6); // not down to the floor
        QLabel label(QStringLiteral("A caption far too long for a box of ten pixels"));
        label.setGeometry(0, 0, 10, 20);
        FitTextToBoxes({&label});
        QCOMPARE(label.font().pointSizeF(), 6.0);
    }

    // A question in a real box, titled with the program's name: Return
    // answers Yes, Esc answers No.
    void messageBox_returnIsYes_escIsNo()
    {
        for (const auto &[key, answer] :
             {std::pair{Qt::Key_Return, msgbox::IDYES}, {Qt::Key_Escape, msgbox::IDNO}}) {
            QString shown;
            QTimer::singleShot(0, [&shown, key = key] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                shown = box->windowTitle() + ": " + box->text();
                QTest::keyClick(box, key);
            });
            QCOMPARE(msgbox::Show(QStringLiteral("Go on?"), msgbox::MB_YESNO), int(answer));
            QCOMPARE(shown, QStringLiteral("Pagecrier: Go on?"));
        }
    }

    void module_failureNamesTheModuleAndWhy_data()
    {
        QTest::addColumn<QByteArray>("content"); // of the one place looked at; null: no file
        QTest::addColumn<QString>("expected");   // how the message begins
        QTest::newRow("missing") << QByteArray() << "The test module was not found (looked for ";
        QTest::newRow("not a library") << QByteArray("junk")
                                       << "The test module could not be "
                                          "loaded: ";
    }
    void module_failureNamesTheModuleAndWhy()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("module.so"));
        QFile file(path);
        if (!content.isNull())
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) > 0);
        file.close();
        QString error;
        QVERIFY(!ResolveModule({path}, "symbol", QStringLiteral("test"), &error));
        QVERIFY2(error.startsWith(expected) && error.contains(path), qPrintable(error));
    }
};

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
