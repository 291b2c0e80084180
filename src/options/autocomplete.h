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
void NoteAddressVisited(const QUrl &url);

} // namespace autocomplete
