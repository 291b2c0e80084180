#include "fit_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

// Captions that do not fit their designed boxes are set smaller, all alike.
class TestFitText : public QObject
{
    Q_OBJECT

private slots:
    void textsThatFit_keepTheirFont()
    {
        QWidget window;
        QFont font = window.font();
        font.setPointSizeF(10);
        window.setFont(font);
        QLabel label(QStringLiteral("Hi"), &window);
        label.setGeometry(0, 0, 200, 20);
        QPushButton button(QStringLiteral("&OK"), &window);
        button.setGeometry(0, 30, 200, 25);
        FitTextToBoxes({&label, &button});
        QCOMPARE(label.font().pointSizeF(), 10.0);
        QCOMPARE(button.font().pointSizeF(), 10.0);
    }

    void tooLongCaption_shrinksEveryControlAlike()
    {
        QWidget window;
        QFont font = window.font();
        font.setPointSizeF(12);
        window.setFont(font);
        QCheckBox box(QStringLiteral("Use Auto-Complete for URL field (Requires Program Restart)"),
                      &window);
        box.setGeometry(0, 0, 300, 20);
        QCheckBox other(QStringLiteral("Short"), &window);
        other.setGeometry(0, 30, 300, 20);
        QVERIFY(QFontMetrics(box.font()).horizontalAdvance(box.text()) > 300);
        FitTextToBoxes({&box, &other});
        QVERIFY(box.font().pointSizeF() < 12);
        QVERIFY(QFontMetrics(box.font()).horizontalAdvance(box.text()) < 300);
        QCOMPARE(other.font(), box.font());
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
