#pragma once
// The four ways guests search the collection: which column the typed text is
// looked for in, how the result is sorted, and the filter expression the search
// sets on the collection table. The main window's on-screen keyboard and the
// command-line list tool share these so they always find the same titles.
#include <optional>
#include <string>
#include <string_view>

namespace orvela {

class TCollectionTable;

enum class TSearchMode : int { Interpret = 1, Titel = 2, Genre = 3, Jahr = 4 };

// "Interpret;Titel", "Titel;Interpret", "Genre;Interpret;Titel", "Jahr;Interpret;Titel".
const char* SearchModeIndexFieldNames(TSearchMode mode);

// The caption of the mode display, code page: "Suche nach Interpret", "Suche nach
// Titel", "Suche nach Genre", "Suche nach Jahr".
const char* SearchModeText(TSearchMode mode);
// The mode whose caption is `text`, if any.
std::optional<TSearchMode> SearchModeFromText(std::string_view text);
// The mode named "interpret", "titel", "genre" or "jahr" (ASCII case ignored).
std::optional<TSearchMode> SearchModeFromName(std::string_view name);

// The filter expression for the typed (code-page) text t, each ' in t doubled:
//   Interpret like'%t%'   Titel like'%t%'   Genre='t*'   Jahr='t*'
std::string SearchFilterExpression(TSearchMode mode, std::string_view text);

// Builds ahead what the four modes' searches and sort orders need, so that a
// guest's first key press and mode switch after loading cost no more than the
// later ones. The table's sort order, view and current record stay.
void PrepareSearchModes(TCollectionTable& table);

}  // namespace orvela
