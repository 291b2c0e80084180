#pragma once

// A stand-in for a system information tool that waits until the test
// releases it, then writes how it was started to a marker file. A launcher
// that waited for its program would still be blocked when the test looks for
// the marker, so "returned before the tool wrote" is checked without timing.
// Here it is a shell script; the Wine test copies in a Windows program that
// keeps to the same files.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

// What the launcher shows when it cannot start a tool.
inline const char kUnavailableText[] = "System Information Is Unavailable At This Time";

struct WaitingTool
{
    QString path;   // the program
    QString go;     // created by the test to let it finish
    QString marker; // written by the tool: state, argument count, $0, parent
    QString log;    // one line added by each run

    static WaitingTool At(const QString &path)
    {
        return WaitingTool{path, path + QStringLiteral(".go"), path + QStringLiteral(".ran"),
                           path + QStringLiteral(".runs")};
    }

    // Writes the tool as a script at path (its folder is created as needed).
    static WaitingTool Create(const QString &path, bool executable = true)
    {
        const WaitingTool tool = At(path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return tool;
        const QString script =
            QStringLiteral("#!/bin/sh\n"
                           "PATH=/usr/bin:/bin\n"
                           "i=0\n"
                           "while [ ! -e '%1' ] && [ $i -lt 600 ]; do sleep 0.05; i=$((i+1)); "
                           "done\n"
                           "if [ -e '%1' ]; then state=released; else state=timed-out; fi\n"
                           "printf '%s\\n%s\\n%s\\n%s\\n' \"$state\" \"$#\" \"$0\" \"$PPID\" "
                           "> '%2.part'\n"
                           "echo \"$state\" >> '%3'\n"
                           "mv '%2.part' '%2'\n")
                .arg(tool.go, tool.marker, tool.log);
        file.write(script.toLocal8Bit());
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                QFileDevice::ExeOther);
        return tool;
    }

    // Releases every tool below folder, so none outlives its test.
    static void ReleaseAllIn(const QString &folder)
    {
        const QStringList markers{QStringLiteral("go"), QStringLiteral("ran"),
                                  QStringLiteral("runs"), QStringLiteral("part")};
        QStringList tools;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (!markers.contains(QFileInfo(file).suffix()))
                tools << file;
        }
        for (const QString &tool : tools)
            At(tool).Release();
    }

    bool HasRun() const { return QFile::exists(marker); }

    int Runs() const
    {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

    void Release() const
    {
        QFile file(go);
        if (file.open(QIODevice::WriteOnly))
            file.close();
    }

    // The marker's lines: state, argument count, program path, then the
    // parent pid (the Windows tool: its command line and window style).
    QStringList Report() const
    {
        QFile file(marker);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Checks the tool was started without waiting for it: it has not written
    // yet, and once released reports no arguments and self as its path.
    void ExpectStartedDetached(const QString &self, int timeoutMs = 30000,
                               Qt::CaseSensitivity cs = Qt::CaseSensitive) const
    {
        QVERIFY(!HasRun());
        Release();
        QTRY_VERIFY_WITH_TIMEOUT(HasRun(), timeoutMs);
        const QStringList report = Report();
        QCOMPARE(report.value(0), QStringLiteral("released"));
        QCOMPARE(report.value(1), QStringLiteral("0"));
        const auto fold = [cs](const QString &s) {
            return cs == Qt::CaseSensitive ? s : s.toLower();
        };
        QCOMPARE(fold(report.value(2)), fold(self));
    }
    void ExpectStartedDetached() const { ExpectStartedDetached(path); }
};
