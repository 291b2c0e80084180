#include "fit_text.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// Captions that do not fit their boxes are set smaller, all alike, and no
// smaller than they must, nor below six points.
class TestFitText : public QObject
{
    Q_OBJECT

private slots:
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
};

QTEST_MAIN(TestFitText)
#include "tst_fit_text.moc"
