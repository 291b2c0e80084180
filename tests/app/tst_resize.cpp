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
    // The designed geometry, resized to each client area in turn.
    static TwipsGeometry resized(std::initializer_list<QSizeF> clientAreas)
    {
        TwipsGeometry g;
        for (const ControlRow &row : Form1Controls())
            g.add(QLatin1String(row.name), row.rect);
        for (const QSizeF &area : clientAreas)
            ApplyResizeRules(g, area.width(), area.height());
        return g;
    }

    static void compareRect(const TwipsGeometry &g, const char *name, TwipsRect e)
    {
        const TwipsRect r = g.rect(QLatin1String(name));
        QVERIFY2(r.Left == e.Left && r.Top == e.Top && r.Width == e.Width && r.Height == e.Height,
                 qPrintable(QString::asprintf("%s: %g,%g %gx%g", name, double(r.Left),
                                              double(r.Top), double(r.Width), double(r.Height))));
    }

    static QRect geometryOf(const Form1 &form, const char *name)
    {
        return form.findChild<QWidget *>(QLatin1String(name))->geometry();
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QByteArray("/nonexistent-config")); }

    void designedClientArea_givesTheWorkedExample()
    {
        const TwipsGeometry g = resized({{10185, 5220}});
        const QPair<const char *, TwipsRect> expected[] = {
            {"SSTab1", {0, 120, 10185, 5220}},      {"Frame1", {120, 480, 9945, 4500}},
            {"Frame2", {120, 480, 9945, 4500}},     {"WebBrowser1", {120, 960, 9705, 3420}},
            {"url", {1080, 2520, 8640, 285}},       {"name1", {1080, 2880, 8640, 285}},
            {"mail", {1080, 3240, 8640, 285}},      {"Command9", {7545, 3840, 2175, 255}},
            {"Command10", {5265, 3840, 2175, 255}}, {"Command11", {2985, 3840, 2175, 255}},
            {"Image1", {1222.5f, 240, 7500, 1500}}, {"Label7", {120, 1800, 9585, 495}},
        };
        for (const auto &[name, rect] : expected)
            compareRect(g, name, rect);
    }

    void nothingElseMoves()
    {
        const TwipsGeometry before = resized({});
        const TwipsGeometry g = resized({{30000, 20000}});
        for (const char *name : {"Label2", "Label5", "Label6", "Command1", "Command2", "Command3",
                                 "Command4", "Command5", "Command6", "Command7", "Command8",
                                 "Command12", "Command13", "Command14", "Command15"})
            compareRect(g, name, before.rect(QLatin1String(name)));
        for (const ControlRow &row : Form1Controls())
            QCOMPARE(g.rect(QLatin1String(row.name)).Top, row.rect.Top);
    }

    void tooSmallWindow_refusesNegativeSizes_data()
    {
        QTest::addColumn<QSizeF>("area");
        QTest::newRow("narrow") << QSizeF(200, 5220);
        QTest::newRow("low") << QSizeF(10185, 600);
    }

    void tooSmallWindow_refusesNegativeSizes()
    {
        QFETCH(QSizeF, area);
        const TwipsGeometry previous = resized({{10185, 5220}});
        const TwipsGeometry g = resized({{10185, 5220}, area});
        compareRect(g, "SSTab1", {0, 120, float(area.width()), float(area.height())});
        // The frames' new sizes are refused; everything derived from them repeats.
        for (const ControlRow &row : Form1Controls()) {
            if (qstrcmp(row.name, "SSTab1") != 0)
                compareRect(g, row.name, previous.rect(QLatin1String(row.name)));
        }
    }

    void widthsBetween240And1545_keepTheFieldsAndButtons()
    {
        TwipsGeometry g = resized({{10185, 5220}, {1000, 5220}});
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
        const TwipsGeometry g = resized({{w, 5220}});
        QCOMPARE(g.Left(QStringLiteral("Command9")), w - 2640);
        QCOMPARE(g.Left(QStringLiteral("Command10")), w - 4920);
        QCOMPARE(g.Left(QStringLiteral("Command11")), w - 7200);
        QCOMPARE(g.Left(QStringLiteral("Image1")), (w - 240) / 2 - 3750);
    }

    void zeroClientArea_thenRestore_givesTheLayoutBack()
    {
        TwipsGeometry g = resized({{10185, 5220}, {0, 0}});
        QCOMPARE(g.Width(QStringLiteral("SSTab1")), 0.0f);
        QCOMPARE(g.Height(QStringLiteral("SSTab1")), 0.0f);
        ApplyResizeRules(g, 10185, 5220);
        const TwipsGeometry full = resized({{10185, 5220}});
        for (const ControlRow &row : Form1Controls())
            compareRect(g, row.name, full.rect(QLatin1String(row.name)));
    }

    void overflow_isRefusedNotApplied()
    {
        const TwipsGeometry g = resized({{std::numeric_limits<float>::infinity(), 5220}});
        QCOMPARE(g.Width(QStringLiteral("SSTab1")), 10095.0f);
        QCOMPARE(g.Width(QStringLiteral("url")), 8640.0f - 90);
    }

    void realWindow_placesWidgetsWhereTheArithmeticPutsThem()
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Each run starts from what the one before left in place.
        TwipsGeometry expected = resized({{10185, 5220}});
        for (const QSize &client : {QSize(679, 348), QSize(1000, 600), QSize(400, 200),
                                    QSize(120, 40), QSize(700, 400)}) {
            form.resize(client.width(), client.height() + form.menuWidget()->height());
            QTRY_COMPARE(form.centralWidget()->size(), client);
            ApplyResizeRules(expected, client.width() * 15.0f, client.height() * 15.0f);
            for (const ControlRow &row : Form1Controls())
                QCOMPARE(geometryOf(form, row.name),
                         ToPixels(expected.rect(QLatin1String(row.name))));
        }
    }

    void realWindow_minimisedAndRestored_comesBackUnchanged()
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QHash<QString, QRect> before;
        for (const ControlRow &row : Form1Controls())
            before.insert(QLatin1String(row.name), geometryOf(form, row.name));
        // A minimised window reports a zero client area.
        form.centralWidget()->resize(0, 0);
        QCOMPARE(geometryOf(form, "SSTab1").size(), QSize(0, 0));
        form.showMinimized();
        form.showNormal();
        form.resize(679, 348 + form.menuWidget()->height());
        QTRY_COMPARE(form.centralWidget()->size(), QSize(679, 348));
        for (const ControlRow &row : Form1Controls())
            QCOMPARE(geometryOf(form, row.name), before.value(QLatin1String(row.name)));
    }
};

PAGECRIER_GUI_TEST_MAIN(TestResize)
#include "tst_resize.moc"
