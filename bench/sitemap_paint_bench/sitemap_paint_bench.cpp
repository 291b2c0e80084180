// The main window's paints while the site-map dialog reads a large index:
//   sitemap_paint_bench <site map address>
// Shows the main window, waits until its pane's engine has started and the
// window has settled, then repaints it every 16 ms (as an animation or a
// user moving something over it would) and opens Tools, Submit Site Map
// with IndexNow, types the address and presses Read. Prints the time from
// the press until the dialog lists what will be sent, the paints seen, and
// the longest gap between two paints of the main window, before and while
// reading. Exit status 1 when that gap is over 100 ms, 2 when reading gave
// no list.

#include "form1.h"
#include "sitemap_dialog.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

// Notes the time of every paint of one widget.
class PaintClock : public QObject
{
public:
    explicit PaintClock(QElapsedTimer &clock) : clock_(clock) {}
    QList<qint64> paints; // ms since the clock started

    // The longest gap between two paints at or after from.
    qint64 longestGap(qint64 from) const
    {
        qint64 longest = 0, last = -1;
        for (qint64 at : paints) {
            if (at < from)
                continue;
            if (last >= 0)
                longest = qMax(longest, at - last);
            last = at;
        }
        return longest;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            paints << clock_.elapsed();
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer &clock_;
};

// With GAPS set, notes each event whose handling took the main thread more
// than 20 ms of processor time, to tell the program's own work from a busy
// machine.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (depth_++ > 0 || !timed_) {
            const bool done = QApplication::notify(receiver, event);
            --depth_;
            return done;
        }
        timespec a{}, b{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
        const int type = event->type();
        const QByteArray name = receiver->metaObject()->className();
        const bool done = QApplication::notify(receiver, event);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
        --depth_;
        const long long ms = (b.tv_sec - a.tv_sec) * 1000LL + (b.tv_nsec - a.tv_nsec) / 1000000;
        if (ms > 20)
            std::printf("  main thread busy %lld ms (processor) on event %d to %s\n", ms, type,
                        name.constData());
        return done;
    }
    bool timed_ = false;

private:
    int depth_ = 0;
};

// Runs the event loop until done() or timeoutMs; whether done. The loop
// sleeps between events, as the program's own does: a loop that polls
// would keep the main thread busy and have it wait for the processor
// behind the threads that read.
bool Spin(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QElapsedTimer waited;
    waited.start();
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || waited.elapsed() >= timeoutMs)
            loop.quit();
    });
    check.start(10);
    loop.exec();
    return done();
}

} // namespace

int main(int argc, char *argv[])
{
    PrepareWebEngine();
    TimedApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: sitemap_paint_bench <site map address>\n");
        return 2;
    }
    const QString address = QString::fromLocal8Bit(argv[1]);

    Form1 form;
    form.show();
    auto *pane = form.findChild<WebBrowser *>(QStringLiteral("WebBrowser1"));
    Spin([pane] { return pane->engineStarted(); }, 60000);
    Spin([] { return false; }, 2000); // the engine's start settles

    QElapsedTimer clock;
    clock.start();
    PaintClock paints(clock);
    form.installEventFilter(&paints);
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, &form, qOverload<>(&QWidget::update));
    repaint.start(16);
    Spin([] { return false; }, 1000);
    const qint64 idleGap = paints.longestGap(0);

    form.findChild<QAction *>(QStringLiteral("mnuToolsSitemap"))->trigger();
    SitemapDialog *dialog = SitemapDialog::Instance();
    dialog->findChild<QLineEdit *>(QStringLiteral("txtSitemap"))->setText(address);
    auto *summary = dialog->findChild<QPlainTextEdit *>(QStringLiteral("txtSummary"));
    auto *read = dialog->findChild<QPushButton *>(QStringLiteral("cmdRead"));
    Spin([] { return false; }, 500); // the dialog shows
    const qint64 pressed = clock.elapsed();
    app.timed_ = qEnvironmentVariableIsSet("GAPS");
    read->click();
    if (app.timed_) {
        auto *loader = dialog->findChild<indexnow::SitemapLoader *>();
        QObject::connect(loader, &indexnow::SitemapLoader::progress, [&](const QString &t) {
            std::printf("%lld ms: %s\n", clock.elapsed() - pressed, qPrintable(t.left(90)));
        });
        // How much of the reading the main thread spent working.
        static timespec start{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
        QObject::connect(loader, &indexnow::SitemapLoader::finished, [&] {
            timespec now{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
            std::printf("%lld ms: finished; main thread processor time %lld ms\n",
                        clock.elapsed() - pressed,
                        (now.tv_sec - start.tv_sec) * 1000LL +
                            (now.tv_nsec - start.tv_nsec) / 1000000);
        });
    }
    const bool listed = Spin(
        [summary, read] {
            return read->isEnabled() &&
                   !summary->toPlainText().startsWith(QStringLiteral("Sorting"));
        },
        120000);
    const qint64 done = clock.elapsed();
    Spin([] { return false; }, 200);
    const qint64 gap = paints.longestGap(pressed);
    const int seen = static_cast<int>(
        std::count_if(paints.paints.cbegin(), paints.paints.cend(),
                      [pressed, done](qint64 at) { return at >= pressed && at <= done; }));

    std::printf("read and listed in:            %8lld ms\n",
                static_cast<long long>(done - pressed));
    std::printf("main window paints meanwhile:  %8d\n", seen);
    std::printf("longest gap between paints:    %8lld ms while reading (target: at most 100 ms); "
                "%lld ms idle\n",
                static_cast<long long>(gap), static_cast<long long>(idleGap));
    std::printf("dialog says: %s\n",
                qPrintable(summary->toPlainText()
                               .section(QLatin1Char('\n'), 0, 1)
                               .replace(QLatin1Char('\n'), QLatin1String(" / "))));
    if (qEnvironmentVariableIsSet("GAPS")) {
        qint64 last = -1;
        for (qint64 at : paints.paints) {
            if (at >= pressed && last >= 0 && at - last > 50)
                std::printf("gap %lld ms at %lld ms\n", at - last, last - pressed);
            if (at >= pressed)
                last = at;
        }
    }
    if (!listed || !summary->toPlainText().contains(QStringLiteral("will be sent")))
        return 2;
    return gap > 100 ? 1 : 0;
}
