#pragma once

// A stand-in for a system information tool: an executable script that waits
// until the test releases it, then writes how it was started to a marker
// file. A launcher that waited for its program would still be blocked when
// the test looks for the marker, so "returned before the tool wrote" is
// checked without any timing.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

struct WaitingTool
{
    QString path;   // the program
    QString go;     // created by the test to let it finish
    QString marker; // written by the tool: state, argument count, $0, parent
    QString log;    // one line added by each run

    // Writes the tool at path (its folder is created as needed).
    static WaitingTool Create(const QString &path, bool executable = true)
    {
        WaitingTool tool;
        tool.path = path;
        tool.go = path + QStringLiteral(".go");
        tool.marker = path + QStringLiteral(".ran");
        tool.log = path + QStringLiteral(".runs");
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

    // The marker's lines: state, argument count, program path, parent pid.
    QStringList Report() const
    {
        QFile file(marker);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};
