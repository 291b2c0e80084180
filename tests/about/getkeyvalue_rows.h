#pragma once

// The values GetKeyValue is tried on, and what it gives back with KeyVal
// passed in as "as passed". The in-memory registry test and the Wine test
// both run them.

#include "registry.h"

#include <QtTest>

// Types standing for no value: the key is missing, or holds another value.
constexpr int kKeyMissing = -1;
constexpr int kValueMissing = -2;

inline void AddGetKeyValueRows()
{
    using namespace sysinfo;
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("result"); // "true", "false" or "failure" (ReadFailure)
    QTest::addColumn<QByteArray>("keyVal");
    const auto row = [](const char *name, int type, const QByteArray &bytes, const char *result,
                        const QByteArray &keyVal) {
        QTest::newRow(name) << type << bytes << QString::fromLatin1(result) << keyVal;
    };
    const QByteArray path("C:\\Programme\\Syst\xE8me\\info.exe"), zero(1, '\0');
    const QByteArray passed("as passed"), named = "%SystemRoot%\\x.exe" + zero;
    row("text with its zero", kRegSz, path + zero, "true", path);
    row("text without its zero", kRegSz, path, "true", path);
    row("only one zero dropped", kRegSz, QByteArray("abc\0\0", 5), "true", QByteArray("abc\0", 4));
    row("empty text", kRegSz, zero, "true", QByteArray());
    row("1023 bytes and the zero", kRegSz, QByteArray(1023, 'x') + zero, "true",
        QByteArray(1023, 'x'));
    row("1024 bytes and the zero: missing", kRegSz, QByteArray(1024, 'x') + zero, "false", "");
    row("key missing", kKeyMissing, QByteArray(), "false", QByteArray());
    row("value missing", kValueMissing, QByteArray(), "false", QByteArray());
    row("REG_DWORD 0x1A2B", kRegDword, QByteArray("\x2B\x1A\x00\x00", 4), "true", "&h1A2B");
    row("REG_DWORD 0", kRegDword, QByteArray(4, '\0'), "true", "&h0");
    row("REG_DWORD 0xFF000001", kRegDword, QByteArray("\x01\x00\x00\xFF", 4), "true", "&hFF000001");
    row("REG_EXPAND_SZ", kRegExpandSz, named, "true", passed);
    row("REG_MULTI_SZ", kRegMultiSz, named + zero, "true", passed);
    row("zero bytes of text fail", kRegSz, QByteArray(), "failure", passed);
    row("zero bytes of binary fail", kRegBinary, QByteArray(), "failure", passed);
}
