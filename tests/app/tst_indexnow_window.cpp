#include "form1.h"
#include "gui_test_main.h"
#include "indexnow_key.h"
#include "keys.h"
#include "local_server.h"
#include "msgbox.h"
#include "settings_store.h"
#include "webbrowser.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
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
        QTest::addColumn<QString>("title"); // the row names the status line sent
        QTest::newRow("200 OK") << "IndexNow: received";
        QTest::newRow("202 Accepted") << "IndexNow: received, key check pending";
        QTest::newRow("400 Bad Request") << "IndexNow: bad request";
        QTest::newRow("403 Forbidden") << "IndexNow: key not valid";
        QTest::newRow("422 Unprocessable Entity") << "IndexNow: address not on the key's host";
        QTest::newRow("429 Too Many Requests") << "IndexNow: too many requests";
        QTest::newRow("500 Oops") << "IndexNow: unexpected answer 500";
    }

    void answers_areExplainedInThePane()
    {
        const QByteArray status = QTest::currentDataTag();
        server_->setStatus(QStringLiteral("/indexnow"), status);
        url()->setText(QStringLiteral("http://example.com/a b?c=1&d#e\u00e9"));
        submit();
        const QString key = storedKey();
        QTRY_COMPARE(
            server_->requests(),
            QStringList{"GET /indexnow?url=http://example.com/a%20b?c%3D1%26d%23e%C3%A9&key=" +
                        key + " HTTP/1.1"});
        QFETCH(QString, title);
        QTRY_COMPARE(view()->title(), title);
        QString text; // for 403: the file name, and the key alone as its content
        view()->page()->toPlainText([&text](const QString &t) { text = t; });
        QTRY_VERIFY(!text.isEmpty());
        QVERIFY(!status.startsWith("403") ||
                (text.contains(key + ".txt") && text.contains(key + "\n")));
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
        // Only the program's own page gets past the pane's confinement.
        QSignalSpy loads(view(), &QWebEngineView::loadFinished);
        form_->findChild<WebBrowser *>("WebBrowser1")->Navigate("data:text/html,<title>x</title>");
        QTRY_COMPARE(loads.size(), 1);
        QCOMPARE(view()->title(), QStringLiteral("IndexNow: no answer in 0.3 seconds"));
    }

    void emptyAddressOrBadKey_sendsNothing()
    {
        submit(); // the address field is empty
        SettingsStore().WriteSetting(keys::kApp, keys::kSection, keys::kIndexNowKey, "short");
        url()->setText(QStringLiteral("https://example.com/"));
        submit();
        QCOMPARE(msgbox::seam::TakeShown().size(), 2);
        QCOMPARE(storedKey(), QStringLiteral("short"));
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
        for (QWidget *w : dialog->findChildren<QWidget *>()) // named for screen readers
            QVERIFY(!w->focusPolicy() || !w->accessibleName().isEmpty());
        const QString key = storedKey();
        QStringList texts;
        for (const char *name : {"txtKey", "txtFileName", "txtContent", "txtAddress"})
            texts << dialog->findChild<QLineEdit *>(name)->text();
        QCOMPARE(texts, QStringList({key, key + ".txt", key, server_->url("/" + key + ".txt")}));
        QTest::keyClick(dialog, Qt::Key_A, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), "txtAddress");

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
        QTRY_VERIFY(storedKey() != key);
        QCOMPARE(dialog->findChild<QLineEdit *>("txtKey")->text(), storedKey());
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(!IndexNowKeyDialog::Instance());
    }
};

PAGECRIER_GUI_TEST_MAIN(TestIndexNowWindow)
#include "tst_indexnow_window.moc"
