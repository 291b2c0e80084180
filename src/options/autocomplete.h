#pragma once

class QLineEdit;
class QString;
class QUrl;

namespace autocomplete {

// Gives field the address completion: file-system paths, addresses the
// browser pane visited, addresses typed into the field and sent. Called once,
// at start-up, for the page-address field only; nothing detaches it.
void MakeAutoComplete(QLineEdit *field);

// An engine button sent the text of field: remembered as a typed address when
// field has completion attached.
void NoteAddressSent(QLineEdit *field);

// The browser pane arrived at url (http and https only are remembered).
// Nothing is remembered while no field has completion: with the option off
// the program keeps no lists. The service lives while a field has
// completion and reads its lists when it starts.
void NoteAddressVisited(const QUrl &url);

// Whether field has the completion that MakeAutoComplete attaches.
bool HasAutoComplete(const QLineEdit *field);

namespace seam {
// Drops what the service holds in memory, as at the end of the process; the
// next use reads its lists from the data folder again.
void ForgetState();
// How many addresses each list keeps from the next start of the service on
// (benchmarks fill the lists far beyond the usual bound).
void SetListLimit(int limit);
} // namespace seam

} // namespace autocomplete
