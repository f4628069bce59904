#pragma once

#include <QString>
#include <QStringList>

class ScriptStore;

// What Orvell could not save when it quit, kept outside the library (whose
// disk refused it) and put back at the next start: one JSON file a quit,
// `unsaved-<stamp>-<pid>.json`, naming the library it belongs to.
namespace UnsavedCopies {
// Where to keep them, best first: $XDG_STATE_HOME/org.orvell.Orvell
// (normally ~/.local/state/org.orvell.Orvell), then the temporary folder.
QStringList folders();

// Writes the store's unsaved scripts, text included, to the first folder
// that takes them; when the index is unsaved too, every script's fields
// (their texts are on disk). The file written, or empty with the reason of
// the last folder tried.
QString keep(const ScriptStore &store, const QStringList &folders, QString *error);

// Puts back every kept copy of this store's library found in the folders.
// A copy is removed once the store saved all it held; one that does not
// parse is left where it is. The number of scripts put back.
int adopt(ScriptStore &store, const QStringList &folders);

// "2 scripts that could not be saved when Orvell quit were put back…"
QString notice(int restored);
} // namespace UnsavedCopies
