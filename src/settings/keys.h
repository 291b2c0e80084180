#pragma once

#include <QString>

#include <optional>

// Every name and default the program stores, in one place.
namespace keys {

inline const QString kApp = QStringLiteral("Pagecrier");
inline const QString kSection = QStringLiteral("favs");
// The Save command has always spelt the section this way; names are matched
// without regard to case, so it is the same section.
inline const QString kSaveSection = QStringLiteral("Favs");

inline const QString kUrl = QStringLiteral("url");
inline const QString kName = QStringLiteral("name1");
inline const QString kMail = QStringLiteral("mail");
inline const QString kStartup = QStringLiteral("startup");
inline const QString kAuto = QStringLiteral("auto");
// The IndexNow key; made and stored on first use (absent means none yet).
inline const QString kIndexNowKey = QStringLiteral("indexnowkey");
// Where IndexNow submissions go: an endpoint id of indexnow::Endpoints()
// (absent or unknown: the shared endpoint).
inline const QString kIndexNowEndpoint = QStringLiteral("indexnowendpoint");

inline const QString kFieldDefault = QString();
inline const QString kStartupDefault = QStringLiteral("0");
inline const QString kAutoDefault = QStringLiteral("1");

} // namespace keys

// Start-up reading of an option: the text taken as a number; on exactly when
// it equals 1. A text that is no number counts as absent, so def decides.
bool OptionIsOn(const QString &stored, const QString &def);

// Options dialog reading of an option: the text converted as to a 16-bit
// integer (rounding halves to even), giving a check-box state 0, 1 or 2; a
// text that is no number, or whose number is out of range or no state,
// gives def's state.
int OptionCheckState(const QString &stored, const QString &def);
