#pragma once

#include <QString>

class SettingsStore;

// The stored IndexNow key; when there is none yet, a new one is made and
// stored first. A stored key is returned as it is, valid or not. Shared by
// the key dialog and the command line. Throws SettingsError.
QString IndexNowKey(SettingsStore &store);
