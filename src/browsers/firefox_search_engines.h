#pragma once
// The search engines Firefox keeps in a profile's "search.json.mozlz4"
// (once decoded): the "engines" list and the default choice in
// "metaData". Works on text already read, with no platform calls, so that
// the fuzzer runs it natively.
//
// Firefox reads the file with JSON.parse: keys are compared exactly and a
// key given twice means its last value. The reader does the same, so that
// a file written to show one thing here and another to the browser cannot
// hide what the browser uses; the edit cuts every copy.
#include <string>
#include <vector>

#include "browsers/preference_document.h"

namespace tavrin {

struct FirefoxSearchEngine {
  std::wstring id;         // "id"; older files have none
  std::wstring name;       // "_name"
  std::wstring loadPath;   // "_loadPath": "[addon]<id>", "[user]", "[https]...", ...
  std::wstring searchUrl;  // the text/html "_urls" entry: "template" with its "params" as a query
  bool appProvided = false;  // "_isAppProvided" or "_isConfigEngine": one of Firefox's own
};

struct FirefoxSearchSettings {
  std::vector<FirefoxSearchEngine> engines;
  std::wstring defaultEngineId;  // "metaData" -> "defaultEngineId"
  std::wstring currentName;      // "metaData" -> "current", the older files' choice by name
};

// At most this many engines are read: a hostile file cannot keep a scan busy.
inline constexpr size_t kMaxFirefoxSearchEngines = 10000;

// False when the text has no "engines" list: then it is not Firefox's
// search settings and nothing is judged from it.
bool ReadFirefoxSearchSettings(const PreferenceDocument& document, FirefoxSearchSettings& out);

// The engine the settings choose as default: the one whose "id" is
// "defaultEngineId", else (with no such member) the one whose name is
// "current"; null when the choice names no listed engine, and Firefox then
// uses its own default.
const FirefoxSearchEngine* DefaultFirefoxSearchEngine(const FirefoxSearchSettings& settings);

// The engine is listed: by "id" when it has one, else by name.
bool ListsFirefoxSearchEngine(const FirefoxSearchSettings& settings, const std::wstring& id, const std::wstring& name);

// Cuts every element of "engines" that is the engine (by "id" when `id` is
// not empty, else by "_name") and every member of "metaData" that chooses
// it as default ("defaultEngineId" and "privateDefaultEngineId" naming the
// id, "current" and "private" naming the name, each with its hash member).
// Returns how many stretches went, or -1 when the document refused a cut.
int RemoveFirefoxSearchEngine(PreferenceDocument& document, const std::wstring& id, const std::wstring& name);

// After RemoveFirefoxSearchEngine: the engine is neither listed nor chosen.
bool HoldsFirefoxSearchEngine(const PreferenceDocument& document, const std::wstring& id, const std::wstring& name);

}  // namespace tavrin
