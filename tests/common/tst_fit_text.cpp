#include "fit_text.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// Captions that do not fit their boxes are set smaller, all alike, and no
// smaller than they must.
class TestFitText : public QObject
{
    Q_OBJECT

    static bool fits(const QAbstractButton &b, int room)
    {
        return QFontMetrics(b.font()).horizontalAdvance(b.text()) < room;
    }

private slots:
    void captions_shrinkTogetherOnlyAsFarAsNeeded()
    {
        QWidget window;
        QFont font = window.font();
        font.setPointSizeF(12);
        window.setFont(font);
        QPushButton shortOne(QStringLiteral("&OK"), &window);
        shortOne.setGeometry(0, 0, 300, 25);
        FitTextToBoxes({&shortOne});
        QCOMPARE(shortOne.font().pointSizeF(), 12.0);

        QCheckBox box(QStringLiteral("Use Auto-Complete for URL field (Requires Program Restart)"),
                      &window);
        box.setGeometry(0, 30, 300, 20);
        QVERIFY(!fits(box, 300));
        FitTextToBoxes({&box, &shortOne});
        QVERIFY(fits(box, 300));
        QCOMPARE(shortOne.font(), box.font());
        QVERIFY(box.font().pointSizeF() > 6); // not down to the floor
    }

    void impossibleFit_stopsAtSixPoints()
    {
        QLabel label(QStringLiteral("A caption far too long for a box of ten pixels"));
        label.setGeometry(0, 0, 10, 20);
        FitTextToBoxes({&label});
        QCOMPARE(label.font().pointSizeF(), 6.0);
    }
};

QTEST_MAIN(TestFitText)
#include "tst_fit_text.moc"
