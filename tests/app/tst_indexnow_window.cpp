#include "form1.h"
#include "gui_test_main.h"
#include "indexnow.h"
#include "indexnow_key.h"
#include "keys.h"
#include "local_server.h"
#include "msgbox.h"
#include "settings_store.h"
#include "webbrowser.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QWebEnginePage>
#include <QWebEngineView>

// Tools, Submit with IndexNow and Tools, IndexNow Key..., against a local
// server.
class TestIndexNowWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *home_ = nullptr;
    LocalServer *server_ = nullptr;
    Form1 *form_ = nullptr;

    QWebEngineView *view() const { return form_->findChild<WebBrowser *>("WebBrowser1")->view(); }
    QLineEdit *url() const { return form_->findChild<QLineEdit *>("url"); }
    static QString storedKey()
    {
        return SettingsStore().ReadSetting(keys::kApp, keys::kSection, keys::kIndexNowKey, {});
    }
    void submit() { form_->findChild<QAction *>("mnuToolsIndexNow")->trigger(); }
    QString pageText()
    {
        QString text;
        view()->page()->toPlainText([&text](const QString &t) { text = t; });
        (void)QTest::qWaitFor([&] { return !text.isEmpty(); }, 5000);
        return text;
    }

private slots:
    void init()
    {
        home_ = new QTemporaryDir;
        qputenv("XDG_CONFIG_HOME", home_->filePath(QStringLiteral("config")).toLocal8Bit());
        msgbox::seam::Enable();
        server_ = new LocalServer;
        form_ = new Form1;
        form_->setHosts(HostTable::AllAt(server_->host()));
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_));
    }

    void cleanup()
    {
        delete IndexNowKeyDialog::Instance();
        delete form_;
        delete server_;
        delete home_;
        msgbox::seam::TakeShown();
        msgbox::seam::Disable();
    }

    void answers_areExplainedInThePane_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QString>("title");
        QTest::newRow("200") << QByteArray("200 OK") << "IndexNow: received";
        QTest::newRow("202") << QByteArray("202 Accepted")
                             << "IndexNow: received, key check pending";
        QTest::newRow("400") << QByteArray("400 Bad Request") << "IndexNow: bad request";
        QTest::newRow("403") << QByteArray("403 Forbidden") << "IndexNow: key not valid";
        QTest::newRow("422") << QByteArray("422 Unprocessable Entity")
                             << "IndexNow: address not on the key's host";
        QTest::newRow("429") << QByteArray("429 Too Many Requests")
                             << "IndexNow: too many requests";
        QTest::newRow("500") << QByteArray("500 Oops") << "IndexNow: unexpected answer 500";
    }

    void answers_areExplainedInThePane()
    {
        QFETCH(QByteArray, status);
        server_->setStatus(QStringLiteral("/indexnow"), status);
        url()->setText(QStringLiteral("http://example.com/a b&c#d\u00e9"));
        submit();
        const QString key = storedKey();
        QTRY_COMPARE(server_->requests(),
                     QStringList{"GET /indexnow?url=http://example.com/a%20b%26c%23d%C3%A9&key=" +
                                 key + " HTTP/1.1"});
        QFETCH(QString, title);
        QTRY_COMPARE(view()->title(), title);
        const QString text = pageText();
        QVERIFY2(text.contains(QStringLiteral("Answer: ") + QString::fromLatin1(status)),
                 qPrintable(text));
        if (status.startsWith("403"))
            QVERIFY(text.contains(key + QStringLiteral(".txt")) && text.contains(key + "\n"));
    }

    void noAnswer_isShownAfterTheTimeOut()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        form_->setHosts(HostTable::AllAt(QStringLiteral("127.0.0.1:%1").arg(silent.serverPort())));
        form_->setIndexNowTimeout(300);
        url()->setText(QStringLiteral("https://example.com/"));
        submit();
        QTRY_VERIFY(silent.hasPendingConnections());
        QTRY_COMPARE(view()->title(), QStringLiteral("IndexNow: no answer in 0.3 seconds"));
    }

    void refusedAddressOrBadKey_sendsNothing_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << ""
                               << "Type the address";
        QTest::newRow("relative") << "example.com/x"
                                  << ""
                                  << "is not a complete web address";
        QTest::newRow("bad key") << "https://example.com/"
                                 << "short"
                                 << "breaks the key rules";
    }

    void refusedAddressOrBadKey_sendsNothing()
    {
        QFETCH(QString, page);
        QFETCH(QString, key);
        QFETCH(QString, message);
        if (!key.isEmpty())
            SettingsStore().WriteSetting(keys::kApp, keys::kSection, keys::kIndexNowKey, key);
        url()->setText(page);
        submit();
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(message), qPrintable(shown[0].text));
        QCOMPARE(storedKey(), key);
        QTest::qWait(300);
        QVERIFY(server_->requests().isEmpty());
    }

    void keyDialog_byKeyboard()
    {
        url()->setText(server_->url(QStringLiteral("/page.html")));
        QTest::keyClick(form_, Qt::Key_T, Qt::AltModifier);
        auto *tools = form_->findChild<QMenu *>(QStringLiteral("mnuTools"));
        QTRY_VERIFY(tools->isVisible());
        QTest::keyClick(tools, Qt::Key_K);
        IndexNowKeyDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = IndexNowKeyDialog::Instance()) && dialog->isActiveWindow());
        for (QWidget *w : dialog->findChildren<QWidget *>())
            QVERIFY2(!w->focusPolicy() || !w->accessibleName().isEmpty(),
                     w->metaObject()->className());
        const QString key = storedKey();
        QVERIFY(indexnow::IsValidKey(key));
        auto text = [dialog](const char *name) {
            return dialog->findChild<QLineEdit *>(name)->text();
        };
        QCOMPARE(QStringList(
                     {text("txtKey"), text("txtFileName"), text("txtContent"), text("txtAddress")}),
                 QStringList({key, key + ".txt", key, server_->url("/" + key + ".txt")}));
        QTest::keyClick(dialog, Qt::Key_K, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), dialog->findChild<QWidget *>("txtKey"));

        // A button's access letter clicks it a moment later.
        QTest::keyClick(dialog, Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), key);
        QTest::keyClick(dialog, Qt::Key_V, Qt::AltModifier);
        QTRY_COMPARE(server_->requests(), QStringList{"GET /" + key + ".txt HTTP/1.1"});

        msgbox::seam::QueueAnswer(msgbox::IDNO);
        QTest::keyClick(dialog, Qt::Key_M, Qt::AltModifier);
        QTRY_COMPARE(msgbox::seam::ShownSoFar().size(), 1);
        QCOMPARE(storedKey(), key);
        QTest::keyClick(dialog, Qt::Key_M, Qt::AltModifier); // the seam answers Yes
        QTRY_VERIFY(storedKey() != key && indexnow::IsValidKey(storedKey()));
        QCOMPARE(text("txtKey"), storedKey());
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(!IndexNowKeyDialog::Instance());
    }
};

PAGECRIER_GUI_TEST_MAIN(TestIndexNowWindow)
#include "tst_indexnow_window.moc"
