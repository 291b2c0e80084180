#include "stored_key.h"

#include "indexnow.h"
#include "keys.h"
#include "settings_store.h"

QString IndexNowKey(SettingsStore &store)
{
    QString key = store.ReadSetting(keys::kApp, keys::kSection, keys::kIndexNowKey, QString());
    if (key.isEmpty()) {
        key = indexnow::MakeKey();
        store.WriteSetting(keys::kApp, keys::kSection, keys::kIndexNowKey, key);
    }
    return key;
}
