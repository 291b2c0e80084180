#pragma once

#include "msgbox.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The one scratch folder of a test program: HOME and the XDG folders point
// into it, so no test touches the user's own files. Scratch(true) starts a
// fresh one (tests call it from init()).
inline QTemporaryDir &Scratch(bool fresh = false)
{
    static std::unique_ptr<QTemporaryDir> dir;
    if (!dir || fresh) {
        dir = std::make_unique<QTemporaryDir>();
        if (!dir->isValid())
            qFatal("cannot create a temporary folder");
        qputenv("HOME", QFile::encodeName(dir->path()));
        for (const char *name : {"CONFIG", "DATA", "CACHE"})
            qputenv((QByteArray("XDG_") + name + "_HOME").constData(),
                    QFile::encodeName(dir->filePath(QString::fromLatin1(name).toLower())));
    }
    return *dir;
}

// The texts of the messages shown since the last look.
inline QStringList ShownTexts()
{
    QStringList texts;
    for (const msgbox::Shown &shown : msgbox::seam::TakeShown())
        texts << shown.text;
    return texts;
}

// Like QTEST_MAIN, with the scratch folder in place before the application
// object exists.
#define PAGECRIER_TEST_MAIN(TestClass)                                                             \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        Scratch();                                                                                 \
        QApplication app(argc, argv);                                                              \
        TestClass tc;                                                                              \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
