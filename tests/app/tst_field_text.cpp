// The site fields hold whatever was stored, typed or pasted, and what goes
// out is exactly that text.

#include "engines.h"
#include "form1.h"
#include "gui_test_main.h"
#include "keys.h"
#include "msgbox.h"
#include "settings_store.h"

#include <QLineEdit>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

class TestFieldText : public QObject
{
    Q_OBJECT

private slots:
    void longFavorite_loadedAndSavedWhole()
    {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
        msgbox::seam::Enable();
        // 40,000 characters, a pair of surrogates across the old 32,767 cut.
        const QString text = QString(32766, 'a') + u"\U0001F600"_s + QString(7232, 'b');
        SettingsStore().WriteSettings(keys::kApp, keys::kSection,
                                      {{keys::kStartup, u"1"_s}, {keys::kUrl, text}});
        Form1 form;
        auto *url = form.findChild<QLineEdit *>(u"url"_s);
        QCOMPARE(url->text(), text);
        url->setText(text + text);
        form.Command11_Click();
        QCOMPARE(SettingsStore().ReadSetting(keys::kApp, keys::kSection, keys::kUrl, {}),
                 text + text);
    }

    void loneSurrogate_sentAsReplacementCharacter()
    {
        QCOMPARE(EncodeField(u"a"_s + QChar(0xD800)), u"a%EF%BF%BD"_s);
        QCOMPARE(EncodeField(QChar(0xDC00) + u"\U0001F600"_s), u"%EF%BF%BD%F0%9F%98%80"_s);
    }
};

PAGECRIER_GUI_TEST_MAIN(TestFieldText)

#include "tst_field_text.moc"
