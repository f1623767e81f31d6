#pragma once
// A profile's "search.json.mozlz4" on disk: decoded into a document, and
// written back compressed after an edit with the original kept beside it.
#include <string>

#include "browsers/preference_document.h"

namespace tavrin {

// Reads and decodes the file and loads its JSON text. False, with the
// document untouched, when the file is missing, does not decode, or its
// bytes are not UTF-8 that converts back unchanged: a file that was not
// understood byte for byte is never written back.
bool LoadFirefoxSearchFile(const std::wstring& path, PreferenceDocument& document);

// Copies the file to a backup beside it (`path` + ".bak", or ".2.bak" and
// so on when that exists), then writes the document's text compressed over
// it through ReplaceDocument, keeping the file's own security. A write that
// fails leaves the original as it was and removes the copy. Returns the
// backup's path, empty when nothing was written.
std::wstring SaveFirefoxSearchFile(const std::wstring& path, const PreferenceDocument& document);

}  // namespace tavrin
