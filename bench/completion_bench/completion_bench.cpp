// Measures how long one keystroke in the address field takes to show its
// completion candidates: from the key press to the drop-down list painted,
// with 10,000 typed and 10,000 visited addresses remembered and a folder of
// 10,000 files.
#include "address_list.h"
#include "autocomplete.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kAddresses = 10000;
constexpr int kFiles = 10000;
constexpr int kRounds = 3;
constexpr double kLimitMs = 50.0;

struct Figures
{
    QList<double> ms;
    QString worstText;
    void add(double value, const QString &text)
    {
        if (ms.isEmpty() || value > worst())
            worstText = text;
        ms.append(value);
    }
    double median() const
    {
        QList<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted.isEmpty() ? 0 : sorted.at(sorted.size() / 2);
    }
    double worst() const { return ms.isEmpty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

bool WriteList(const QString &path, const QStringList &entries)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = AddressList::Serialize(entries);
    return file.write(data) == data.size();
}

// Types text into the field one key at a time and times each key until the
// drop-down list has been laid out and painted.
void TypeTimed(QLineEdit *field, const QString &text, Figures *figures, int *shown)
{
    QAbstractItemView *popup = field->completer()->popup();
    for (const QChar ch : text) {
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(field, ch.toLatin1());
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        if (popup->isVisible())
            popup->repaint();
        figures->add(timer.nsecsElapsed() / 1e6, field->text());
    }
    *shown = popup->isVisible() ? field->completer()->completionCount() : 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir data;
    QTemporaryDir files;
    if (!data.isValid() || !files.isValid())
        return 2;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QApplication app(argc, argv);

    // The remembered addresses, written where the service reads them.
    QStringList typed, visited;
    for (int i = 0; i < kAddresses; ++i) {
        typed.append(QStringLiteral("http://www.site%1.example/typed/page%2.html")
                         .arg(i, 5, 10, QLatin1Char('0'))
                         .arg(i % 97));
        visited.append(QStringLiteral("http://www.site%1.example/cgi-bin/add?url=x%2")
                           .arg(kAddresses - 1 - i, 5, 10, QLatin1Char('0'))
                           .arg(i));
    }
    const QString dataDir = data.path() + QStringLiteral("/pagecrier");
    if (!QDir().mkpath(dataDir) ||
        !WriteList(dataDir + QStringLiteral("/typed-addresses.json"), typed) ||
        !WriteList(dataDir + QStringLiteral("/visited-addresses.json"), visited))
        return 2;

    // The folder of files.
    const QString folder = files.path() + QStringLiteral("/Site");
    QDir().mkpath(folder);
    for (int i = 0; i < kFiles; ++i) {
        QFile file(folder + QStringLiteral("/%1%2.html")
                                .arg(i % 2 ? QStringLiteral("Page") : QStringLiteral("page"))
                                .arg(i, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly))
            return 2;
    }

    autocomplete::seam::SetListLimit(kAddresses);
    QLineEdit field;
    field.resize(480, field.sizeHint().height());
    QElapsedTimer attachTimer;
    attachTimer.start();
    autocomplete::MakeAutoComplete(&field);
    const double attachMs = attachTimer.nsecsElapsed() / 1e6;
    field.show();
    field.activateWindow();
    if (!QTest::qWaitForWindowActive(&field))
        return 2;
    field.setFocus();

    Figures addresses, paths;
    int addressShown = 0, folderShown = 0, pathShown = 0;
    for (int round = 0; round < kRounds; ++round) {
        field.clear();
        TypeTimed(&field, QStringLiteral("http://www.site0"), &addresses, &addressShown);
        field.clear();
        TypeTimed(&field, folder + QStringLiteral("/"), &paths, &folderShown);
        TypeTimed(&field, QStringLiteral("PAGE0012"), &paths, &pathShown);
    }

    std::printf("attaching completion (reading %d + %d remembered addresses): %.1f ms\n",
                kAddresses, kAddresses, attachMs);
    std::printf("addresses: %lld keystrokes, median %.1f ms, worst %.1f ms "
                "(last key showed %d candidates)\n",
                static_cast<long long>(addresses.ms.size()), addresses.median(), addresses.worst(),
                addressShown);
    std::printf("folder of %d files: %lld keystrokes, median %.1f ms, worst %.1f ms "
                "(the folder alone showed %d candidates, the last key %d)\n",
                kFiles, static_cast<long long>(paths.ms.size()), paths.median(), paths.worst(),
                folderShown, pathShown);
    const double worst = std::max(addresses.worst(), paths.worst());
    const QString worstText =
        addresses.worst() >= paths.worst() ? addresses.worstText : paths.worstText;
    std::printf("worst keystroke: %.1f ms, typing \"%s\" (limit %.0f ms): %s\n", worst,
                qPrintable(worstText), kLimitMs, worst <= kLimitMs ? "within" : "OVER");
    return worst <= kLimitMs ? 0 : 1;
}
