#include "form1.h"
#include "gui_test_main.h"
#include "layout.h"
#include "twips.h"
#include "webbrowser.h"

#include <QtTest>

// The main window's resize rules, first as arithmetic on the designed
// geometry, then through the real window.
class TestResize : public QObject
{
    Q_OBJECT

private:
    static TwipsGeometry designed()
    {
        TwipsGeometry g;
        for (const ControlRow &row : Form1Controls())
            g.add(QLatin1String(row.name), row.rect);
        return g;
    }

    static void compareRect(const TwipsGeometry &g, const char *name, TwipsRect expected)
    {
        const TwipsRect r = g.rect(QLatin1String(name));
        QVERIFY2(r.Left == expected.Left && r.Top == expected.Top && r.Width == expected.Width &&
                     r.Height == expected.Height,
                 qPrintable(QStringLiteral("%1: %2,%3 %4x%5")
                                .arg(QLatin1String(name))
                                .arg(r.Left)
                                .arg(r.Top)
                                .arg(r.Width)
                                .arg(r.Height)));
    }

private slots:
    void designedClientArea_givesTheWorkedExample()
    {
        TwipsGeometry g = designed();
        ApplyResizeRules(g, 10185, 5220);
        compareRect(g, "SSTab1", {0, 120, 10185, 5220});
        compareRect(g, "Frame1", {120, 480, 9945, 4500});
        compareRect(g, "Frame2", {120, 480, 9945, 4500});
        compareRect(g, "WebBrowser1", {120, 960, 9705, 3420});
        compareRect(g, "url", {1080, 2520, 8640, 285});
        compareRect(g, "name1", {1080, 2880, 8640, 285});
        compareRect(g, "mail", {1080, 3240, 8640, 285});
        compareRect(g, "Command9", {7545, 3840, 2175, 255});
        compareRect(g, "Command10", {5265, 3840, 2175, 255});
        compareRect(g, "Command11", {2985, 3840, 2175, 255});
        compareRect(g, "Image1", {1222.5f, 240, 7500, 1500});
        compareRect(g, "Label7", {120, 1800, 9585, 495});
    }

    void nothingElseMoves()
    {
        const TwipsGeometry before = designed();
        TwipsGeometry g = designed();
        ApplyResizeRules(g, 30000, 20000);
        for (const char *name : {"Label2", "Label5", "Label6", "Command1", "Command2", "Command3",
                                 "Command4", "Command5", "Command6", "Command7", "Command8",
                                 "Command12", "Command13", "Command14", "Command15"})
            compareRect(g, name, before.rect(QLatin1String(name)));
        for (const ControlRow &row : Form1Controls())
            QCOMPARE(g.rect(QLatin1String(row.name)).Top, row.rect.Top);
    }

    void narrowWindow_refusesNegativeWidths()
    {
        TwipsGeometry g = designed();
        ApplyResizeRules(g, 10185, 5220);
        const TwipsGeometry previous = g;
        ApplyResizeRules(g, 200, 5220);
        QCOMPARE(g.Width(QStringLiteral("SSTab1")), 200.0f);
        // Steps 3 and 4 refused; everything derived from the frames repeats.
        for (const char *name : {"Frame1", "Frame2", "WebBrowser1", "url", "name1", "mail",
                                 "Command9", "Command10", "Command11", "Image1", "Label7"})
            compareRect(g, name, previous.rect(QLatin1String(name)));
    }

    void lowWindow_refusesNegativeHeights()
    {
        TwipsGeometry g = designed();
        ApplyResizeRules(g, 10185, 5220);
        ApplyResizeRules(g, 10185, 600);
        QCOMPARE(g.Height(QStringLiteral("SSTab1")), 600.0f);
        QCOMPARE(g.Height(QStringLiteral("Frame1")), 4500.0f);
        QCOMPARE(g.Height(QStringLiteral("Frame2")), 4500.0f);
        QCOMPARE(g.Height(QStringLiteral("WebBrowser1")), 3420.0f);
    }

    void widthsBetween240And1545_keepTheFieldsAndButtons()
    {
        TwipsGeometry g = designed();
        ApplyResizeRules(g, 10185, 5220);
        ApplyResizeRules(g, 1000, 5220);
        QCOMPARE(g.Width(QStringLiteral("Frame1")), 760.0f);
        QCOMPARE(g.Width(QStringLiteral("url")), 8640.0f);
        QCOMPARE(g.Left(QStringLiteral("Command9")), 7545.0f);
        QCOMPARE(g.Left(QStringLiteral("Command11")), 2985.0f);
        QCOMPARE(g.Width(QStringLiteral("Label7")), 400.0f);
        QCOMPARE(g.Left(QStringLiteral("Image1")), 760.0f / 2 - 3750);
        // Below a 360-twip frame the label keeps its width.
        ApplyResizeRules(g, 500, 5220);
        QCOMPARE(g.Width(QStringLiteral("Label7")), 400.0f);
    }

    void negativeLefts_areApplied_data()
    {
        QTest::addColumn<float>("w");
        QTest::newRow("below 7740") << 7700.0f;
        QTest::newRow("below 7200") << 7000.0f;
        QTest::newRow("below 4920") << 4000.0f;
        QTest::newRow("below 2640") << 2000.0f;
        QTest::newRow("just above 1545") << 1560.0f;
    }

    void negativeLefts_areApplied()
    {
        QFETCH(float, w);
        TwipsGeometry g = designed();
        ApplyResizeRules(g, w, 5220);
        QCOMPARE(g.Left(QStringLiteral("Command9")), w - 2640);
        QCOMPARE(g.Left(QStringLiteral("Command10")), w - 4920);
        QCOMPARE(g.Left(QStringLiteral("Command11")), w - 7200);
        QCOMPARE(g.Left(QStringLiteral("Image1")), (w - 240) / 2 - 3750);
    }

    void zeroClientArea_thenRestore_givesTheLayoutBack()
    {
        TwipsGeometry g = designed();
        ApplyResizeRules(g, 10185, 5220);
        const TwipsGeometry full = g;
        ApplyResizeRules(g, 0, 0);
        QCOMPARE(g.Width(QStringLiteral("SSTab1")), 0.0f);
        QCOMPARE(g.Height(QStringLiteral("SSTab1")), 0.0f);
        ApplyResizeRules(g, 10185, 5220);
        for (const ControlRow &row : Form1Controls())
            compareRect(g, row.name, full.rect(QLatin1String(row.name)));
    }

    void overflow_isRefusedNotApplied()
    {
        TwipsGeometry g = designed();
        ApplyResizeRules(g, std::numeric_limits<float>::infinity(), 5220);
        QCOMPARE(g.Width(QStringLiteral("SSTab1")), 10095.0f);
        QCOMPARE(g.Width(QStringLiteral("url")), 8640.0f - 90);
    }

    void realWindow_placesWidgetsWhereTheArithmeticPutsThem()
    {
        qputenv("XDG_CONFIG_HOME", QByteArray("/nonexistent-config"));
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Each run starts from what the one before left in place.
        TwipsGeometry expected = designed();
        ApplyResizeRules(expected, 10185, 5220);
        const QSize sizes[] = {{679, 348}, {1000, 600}, {400, 200}, {120, 40}, {700, 400}};
        for (const QSize &client : sizes) {
            form.resize(client.width(), client.height() + form.menuWidget()->height());
            QTRY_COMPARE(form.centralWidget()->size(), client);
            ApplyResizeRules(expected, client.width() * 15.0f, client.height() * 15.0f);
            for (const ControlRow &row : Form1Controls()) {
                QWidget *w = form.findChild<QWidget *>(QLatin1String(row.name));
                QCOMPARE(w->geometry(), ToPixels(expected.rect(QLatin1String(row.name))));
            }
        }
    }

    void realWindow_minimisedAndRestored_comesBackUnchanged()
    {
        qputenv("XDG_CONFIG_HOME", QByteArray("/nonexistent-config"));
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QHash<QString, QRect> before;
        for (const ControlRow &row : Form1Controls())
            before.insert(QLatin1String(row.name),
                          form.findChild<QWidget *>(QLatin1String(row.name))->geometry());
        // A minimised window reports a zero client area.
        form.centralWidget()->resize(0, 0);
        QCOMPARE(form.findChild<QWidget *>(QStringLiteral("SSTab1"))->size(), QSize(0, 0));
        form.showMinimized();
        form.showNormal();
        form.resize(679, 348 + form.menuWidget()->height());
        QTRY_COMPARE(form.centralWidget()->size(), QSize(679, 348));
        for (const ControlRow &row : Form1Controls())
            QCOMPARE(form.findChild<QWidget *>(QLatin1String(row.name))->geometry(),
                     before.value(QLatin1String(row.name)));
    }
};

PAGECRIER_GUI_TEST_MAIN(TestResize)
#include "tst_resize.moc"
