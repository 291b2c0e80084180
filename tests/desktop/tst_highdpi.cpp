// The windows at screen scale factors 1, 1.5 and 2: every control keeps its
// logical geometry from scale 1, nothing overlaps or sticks out of its
// container, and the window icon and pictures have pixels enough for the
// scale. The program runs itself once per scale (QT_SCALE_FACTOR is read at
// start-up) with --dump-layout, which writes the three windows' named
// controls as JSON; the test cases compare those dumps.

#include "form1.h"
#include "form2.h"
#include "frmabout.h"
#include "test_env.h"
#include "webengine_setup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QStyle>
#include <QtTest>

namespace {

const QStringList kScales = {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
const QStringList kWindows = {QStringLiteral("Form1"), QStringLiteral("Form2"),
                              QStringLiteral("frmAbout")};

// Pairs of sibling controls that overlap by design: a field label reaches a
// few pixels under its field.
const QList<QPair<QString, QString>> kDesignedOverlaps = {
    {QStringLiteral("Label2"), QStringLiteral("url")},
    {QStringLiteral("Label5"), QStringLiteral("name1")},
};

// Controls that reach past their container by design: the tab control keeps
// its top margin while it is given the whole client height.
const QStringList kDesignedOverhang = {QStringLiteral("SSTab1")};

// A button caption as shown: "&" marks the access key, "&&" shows one "&".
QString Plain(QString caption)
{
    return caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QStringLiteral("\x01"), QStringLiteral("&"));
}

// ---- the child: dump the layout at the scale this process runs with --------

QJsonObject DumpWindow(QWidget *window)
{
    QJsonArray controls;
    QHash<QString, int> seen; // a control array shares one name: Line1, Line1#2
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window || w->objectName().isEmpty() ||
            w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const int occurrence = ++seen[w->objectName()];
        const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
        QJsonObject c;
        c[QStringLiteral("name")] =
            occurrence == 1 ? w->objectName()
                            : QStringLiteral("%1#%2").arg(w->objectName()).arg(occurrence);
        c[QStringLiteral("parent")] = w->parentWidget()->objectName();
        c[QStringLiteral("rect")] = QJsonArray{r.x(), r.y(), r.width(), r.height()};
        c[QStringLiteral("visible")] = w->isVisibleTo(window);

        // Does the caption fit its control? A wrapped label must fit its
        // height, a single line its width.
        QString text;
        int room = w->contentsRect().width();
        if (auto *label = qobject_cast<QLabel *>(w)) {
            text = label->text();
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            text = Plain(button->text());
            room = w->width() - 2 * w->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w);
        }
        // A picture: the device pixels behind it and the logical width it
        // is drawn at (the label's when stretched, else its own).
        if (auto *picture = qobject_cast<QLabel *>(w); picture && !picture->pixmap().isNull()) {
            const QPixmap pixmap = picture->pixmap();
            c[QStringLiteral("pictureDevicePixels")] = pixmap.width();
            c[QStringLiteral("pictureLogicalWidth")] =
                picture->hasScaledContents() ? picture->width()
                                             : pixmap.width() / pixmap.devicePixelRatio();
        }
        if (!text.isEmpty()) {
            auto *label = qobject_cast<QLabel *>(w);
            bool fits;
            if (label && label->wordWrap())
                fits = label->heightForWidth(label->width()) <= label->height();
            else
                fits = QFontMetricsF(w->font()).horizontalAdvance(text) <= room;
            c[QStringLiteral("captionFits")] = fits;
        }
        controls.append(c);
    }

    // The pixels the window icon gives for a 32-pixel icon at this scale;
    // 0 when the window has none.
    const qreal dpr = window->devicePixelRatioF();
    const QPixmap icon = window->windowIcon().pixmap(QSize(32, 32), dpr);
    QJsonObject result;
    result[QStringLiteral("dpr")] = dpr;
    result[QStringLiteral("size")] = QJsonArray{window->width(), window->height()};
    result[QStringLiteral("iconPixels")] = icon.width();
    result[QStringLiteral("controls")] = controls;
    return result;
}

int DumpLayout(int argc, char *argv[], const QString &path)
{
    const auto userDirs = UseScratchUserDirs();
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagecrier"));

    auto *form1 = new Form1;
    form1->show();
    if (!QTest::qWaitForWindowExposed(form1))
        return 2;
    QWidget *options = Form2::Open(form1);
    QWidget *about = frmAbout::Open();
    if (!options || !about || !QTest::qWaitForWindowExposed(options) ||
        !QTest::qWaitForWindowExposed(about))
        return 3;
    QCoreApplication::processEvents();

    QJsonObject dump;
    dump[QStringLiteral("Form1")] = DumpWindow(form1);
    dump[QStringLiteral("Form2")] = DumpWindow(options);
    dump[QStringLiteral("frmAbout")] = DumpWindow(about);

    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return 4;
    out.write(QJsonDocument(dump).toJson());
    out.close();

    options->close();
    about->close();
    delete form1;
    return 0;
}

QRect RectOf(const QJsonObject &control)
{
    const QJsonArray a = control.value(QStringLiteral("rect")).toArray();
    return QRect(a.at(0).toInt(), a.at(1).toInt(), a.at(2).toInt(), a.at(3).toInt());
}

QHash<QString, QJsonObject> ControlsByName(const QJsonObject &window)
{
    QHash<QString, QJsonObject> byName;
    for (const QJsonValue &v : window.value(QStringLiteral("controls")).toArray())
        byName.insert(v.toObject().value(QStringLiteral("name")).toString(), v.toObject());
    return byName;
}

// The failure message for a list of faulty controls.
QString Listed(const char *heading, QStringList faults)
{
    faults.sort();
    return QLatin1String(heading) + faults.join(QStringLiteral(", "));
}

} // namespace

// ---- the test: run the child at each scale and compare ---------------------

class HighDpiTest : public QObject
{
    Q_OBJECT

private:
    QJsonObject window(const QString &scale, const QString &name) const
    {
        return dumps_.value(scale).value(name).toObject();
    }

    static void scaleAndWindowRows()
    {
        QTest::addColumn<QString>("scale");
        QTest::addColumn<QString>("windowName");
        for (const QString &scale : kScales) {
            for (const QString &name : kWindows)
                QTest::addRow("%s/%s", qPrintable(scale), qPrintable(name)) << scale << name;
        }
    }

    QTemporaryDir dir_;
    QHash<QString, QJsonObject> dumps_; // by scale factor

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        for (const QString &scale : kScales) {
            const QString path = dir_.filePath(QStringLiteral("layout-%1.json").arg(scale));
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
            env.remove(QStringLiteral("QT_SCREEN_SCALE_FACTORS"));
            env.remove(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--dump-layout"), path});
            QVERIFY(child.waitForFinished(120000));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);

            QFile in(path);
            QVERIFY(in.open(QIODevice::ReadOnly));
            const QJsonObject dump = QJsonDocument::fromJson(in.readAll()).object();
            QVERIFY(!dump.isEmpty());
            // The scale really is in effect, or the comparisons prove nothing.
            for (const QString &name : kWindows)
                QCOMPARE(dump.value(name).toObject().value(QStringLiteral("dpr")).toDouble(),
                         scale.toDouble());
            dumps_.insert(scale, dump);
        }
    }

    void window_keepsItsLogicalSize_data() { scaleAndWindowRows(); }
    void window_keepsItsLogicalSize()
    {
        QFETCH(QString, scale);
        QFETCH(QString, windowName);
        QCOMPARE(window(scale, windowName).value(QStringLiteral("size")),
                 window(QStringLiteral("1"), windowName).value(QStringLiteral("size")));
    }

    void everyControl_keepsItsLogicalGeometry_data()
    {
        QTest::addColumn<QString>("scale");
        QTest::addColumn<QString>("windowName");
        QTest::addColumn<QString>("control");
        for (const QString &scale : {QStringLiteral("1.5"), QStringLiteral("2")}) {
            for (const QString &name : kWindows) {
                QStringList controls = ControlsByName(window(QStringLiteral("1"), name)).keys();
                controls.sort();
                for (const QString &control : controls)
                    QTest::addRow("%s/%s/%s", qPrintable(scale), qPrintable(name),
                                  qPrintable(control))
                        << scale << name << control;
            }
        }
    }

    void everyControl_keepsItsLogicalGeometry()
    {
        QFETCH(QString, scale);
        QFETCH(QString, windowName);
        QFETCH(QString, control);
        const QJsonObject atOne = ControlsByName(window(QStringLiteral("1"), windowName))[control];
        const auto scaled = ControlsByName(window(scale, windowName));
        QVERIFY2(scaled.contains(control), "control missing at this scale");
        QCOMPARE(RectOf(scaled[control]), RectOf(atOne));
        QCOMPARE(scaled[control].value(QStringLiteral("visible")),
                 atOne.value(QStringLiteral("visible")));
    }

    void visibleSiblings_doNotOverlap_data() { scaleAndWindowRows(); }
    void visibleSiblings_doNotOverlap()
    {
        QFETCH(QString, scale);
        QFETCH(QString, windowName);
        const QJsonArray controls =
            window(scale, windowName).value(QStringLiteral("controls")).toArray();
        QStringList overlaps;
        for (int i = 0; i < controls.size(); ++i) {
            const QJsonObject a = controls.at(i).toObject();
            for (int j = i + 1; j < controls.size(); ++j) {
                const QJsonObject b = controls.at(j).toObject();
                const QString an = a.value(QStringLiteral("name")).toString();
                const QString bn = b.value(QStringLiteral("name")).toString();
                if (a.value(QStringLiteral("visible")).toBool() &&
                    b.value(QStringLiteral("visible")).toBool() &&
                    a.value(QStringLiteral("parent")) == b.value(QStringLiteral("parent")) &&
                    !kDesignedOverlaps.contains({an, bn}) &&
                    !kDesignedOverlaps.contains({bn, an}) && RectOf(a).intersects(RectOf(b)))
                    overlaps << QStringLiteral("%1 and %2").arg(an, bn);
            }
        }
        QVERIFY2(overlaps.isEmpty(), qPrintable(Listed("overlapping: ", overlaps)));
    }

    void visibleControls_stayInsideTheirContainer_data() { scaleAndWindowRows(); }
    void visibleControls_stayInsideTheirContainer()
    {
        QFETCH(QString, scale);
        QFETCH(QString, windowName);
        const QJsonObject win = window(scale, windowName);
        const auto byName = ControlsByName(win);
        const QJsonArray size = win.value(QStringLiteral("size")).toArray();
        const QRect windowRect(0, 0, size.at(0).toInt(), size.at(1).toInt());
        QStringList cut;
        for (auto c = byName.cbegin(); c != byName.cend(); ++c) {
            if (!c->value(QStringLiteral("visible")).toBool() ||
                kDesignedOverhang.contains(c.key()))
                continue;
            const QString parent = c->value(QStringLiteral("parent")).toString();
            if (!(byName.contains(parent) ? RectOf(byName[parent]) : windowRect)
                     .contains(RectOf(*c)))
                cut << c.key();
        }
        QVERIFY2(cut.isEmpty(), qPrintable(Listed("sticking out of their container: ", cut)));
    }

    void captions_fitAsAtScaleOne_data() { scaleAndWindowRows(); }
    void captions_fitAsAtScaleOne()
    {
        QFETCH(QString, scale);
        QFETCH(QString, windowName);
        const auto scaled = ControlsByName(window(scale, windowName));
        const QString key = QStringLiteral("captionFits");
        QStringList cut;
        for (const QJsonObject &c : ControlsByName(window(QStringLiteral("1"), windowName))) {
            const QString name = c.value(QStringLiteral("name")).toString();
            if (c.value(key).toBool() && !scaled[name].value(key).toBool())
                cut << name;
        }
        QVERIFY2(cut.isEmpty(), qPrintable(Listed("caption cut off at this scale only: ", cut)));
    }

    void windowIcon_hasPixelsForTheScale_data() { scaleAndWindowRows(); }
    void windowIcon_hasPixelsForTheScale()
    {
        QFETCH(QString, scale);
        QFETCH(QString, windowName);
        // A 32-pixel icon drawn at this scale needs 32 x scale device pixels
        // from a real source, or it is blown up.
        const int needed = qCeil(32 * scale.toDouble());
        const int pixels = window(scale, windowName).value(QStringLiteral("iconPixels")).toInt();
        QVERIFY2(pixels > 0, "the window has no icon");
        QVERIFY2(
            pixels >= needed,
            qPrintable(
                QStringLiteral("the window icon gives %1 pixels for %2").arg(pixels).arg(needed)));
    }

    void pictures_havePixelsForTheScale_data() { scaleAndWindowRows(); }
    void pictures_havePixelsForTheScale()
    {
        QFETCH(QString, scale);
        QFETCH(QString, windowName);
        // A picture drawn at a logical width needs width x scale device pixels.
        const QString key = QStringLiteral("pictureDevicePixels");
        QStringList blurred;
        for (const QJsonObject &c : ControlsByName(window(scale, windowName))) {
            const int needed =
                qCeil(c.value(QStringLiteral("pictureLogicalWidth")).toDouble() * scale.toDouble());
            if (c.contains(key) && c.value(key).toInt() < needed)
                blurred << QStringLiteral("%1 (%2 pixels for %3)")
                               .arg(c.value(QStringLiteral("name")).toString())
                               .arg(c.value(key).toInt())
                               .arg(needed);
        }
        QVERIFY2(blurred.isEmpty(), qPrintable(Listed("pictures blown up: ", blurred)));
    }
};

int main(int argc, char *argv[])
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--dump-layout") == 0)
            return DumpLayout(argc, argv, QString::fromLocal8Bit(argv[i + 1]));
    }
    QCoreApplication app(argc, argv);
    HighDpiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_highdpi.moc"
