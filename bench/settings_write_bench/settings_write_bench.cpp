// Times WriteSetting and ReadSetting on a real file: each write reads the
// file, rewrites it whole, flushes it to the disk and renames it into place,
// so the flush dominates. Prints median, 90th percentile and worst case.
//
//   settings_write_bench [--dir <folder>] [--count <n>]
//
// --dir picks the folder (and so the disk) to measure on; by default a
// temporary folder.

#include "keys.h"
#include "settings_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Figures
{
    double median, p90, worst;
};

Figures measure(int count, const std::function<void(int)> &step)
{
    std::vector<double> ms;
    ms.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        step(i);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back()};
}

void print(const char *what, const Figures &f)
{
    std::printf("%-46s median %7.3f ms   p90 %7.3f ms   worst %7.3f ms\n", what, f.median, f.p90,
                f.worst);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString folder;
    int count = 200;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--dir"))
            folder = args.at(i + 1);
        else if (args.at(i) == QLatin1String("--count"))
            count = std::max(1, args.at(i + 1).toInt());
    }
    QTemporaryDir temp(folder.isEmpty() ? QString() : folder + QStringLiteral("/bench-XXXXXX"));
    if (!temp.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 2;
    }
    const QString file = temp.filePath(QStringLiteral("pagecrier/pagecrier.ini"));
    std::printf("settings file: %s, %d runs each\n", qPrintable(file), count);

    SettingsStore store(file);
    // The five entries the program keeps.
    store.WriteSetting(keys::kApp, keys::kSection, keys::kStartup, QStringLiteral("1"));
    store.WriteSetting(keys::kApp, keys::kSection, keys::kAuto, QStringLiteral("1"));
    store.WriteSetting(keys::kApp, keys::kSection, keys::kName, QStringLiteral("Ann Example"));
    store.WriteSetting(keys::kApp, keys::kSection, keys::kMail, QStringLiteral("ann@example.com"));

    const Figures write = measure(count, [&](int i) {
        store.WriteSetting(keys::kApp, keys::kSaveSection, keys::kUrl,
                           QStringLiteral("http://example.com/page%1.html").arg(i));
    });
    print("one WriteSetting (five-entry file)", write);

    const Figures save = measure(count, [&](int i) {
        store.WriteSettings(keys::kApp, keys::kSaveSection,
                            {{keys::kUrl, QStringLiteral("http://example.com/%1").arg(i)},
                             {keys::kName, QStringLiteral("Ann")},
                             {keys::kMail, QStringLiteral("a@b.c")}});
    });
    print("Save favorites (one change of three keys)", save);

    const Figures read = measure(
        count, [&](int) { store.ReadSetting(keys::kApp, keys::kSection, keys::kUrl, QString()); });
    print("one ReadSetting (five-entry file)", read);

    // Half the store's bound.
    const QString big(int(SettingsStore::kMaxFileSize / 2), QLatin1Char('x'));
    store.WriteSetting(keys::kApp, keys::kSection, QStringLiteral("big"), big);
    const Figures writeBig = measure(std::max(1, count / 10), [&](int i) {
        store.WriteSetting(keys::kApp, keys::kSaveSection, keys::kUrl, QString::number(i));
    });
    print("one WriteSetting (file holding a 512 KiB value)", writeBig);
    const Figures writeHuge = measure(std::max(1, count / 10), [&](int i) {
        store.WriteSetting(keys::kApp, keys::kSection, QStringLiteral("big"),
                           big + QString::number(i));
    });
    print("WriteSetting of a 512 KiB value", writeHuge);

    // A write the user would feel is a fault.
    return write.median > 100.0 ? 1 : 0;
}
