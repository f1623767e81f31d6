#include "browsers/firefox_search_engines.h"

#include <array>
#include <string_view>

namespace tavrin {

namespace {

// The last member of `parent` (the root for null) whose key is exactly
// `key`, as JSON.parse keeps it.
bool LastMember(const PreferenceDocument& document, const PreferenceNode* parent, std::wstring_view key,
                PreferenceNode& out) {
  MemberCursor cursor{};
  std::wstring name;
  bool found = false;
  while (document.NextMember(cursor, parent)) {
    if (!document.KeyOf(cursor, name) || name != key) continue;
    out = document.NodeOf(cursor);
    found = true;
  }
  return found;
}

bool LastString(const PreferenceDocument& document, const PreferenceNode& parent, std::wstring_view key,
                std::wstring& out) {
  PreferenceNode node;
  out.clear();
  return LastMember(document, &parent, key, node) && node.kind == PreferenceKind::String &&
         document.ValueText(node, out) == PreferenceKind::String;
}

bool LastIsTrue(const PreferenceDocument& document, const PreferenceNode& parent, std::wstring_view key) {
  PreferenceNode node;
  std::wstring text;
  return LastMember(document, &parent, key, node) && node.kind == PreferenceKind::Boolean &&
         document.ValueText(node, text) == PreferenceKind::Boolean && text == L"true";
}

// The address Firefox searches with: the first "_urls" entry for result
// pages (a missing "type" is one), its "params" appended as a query.
std::wstring SearchUrl(const PreferenceDocument& document, const PreferenceNode& engine) {
  PreferenceNode urls;
  if (!LastMember(document, &engine, L"_urls", urls) || urls.kind != PreferenceKind::Array) return {};
  ElementCursor cursor{};
  while (document.NextElement(cursor, urls)) {
    const PreferenceNode url = document.NodeOf(cursor);
    if (url.kind != PreferenceKind::Object) continue;
    std::wstring type, address;
    LastString(document, url, L"type", type);
    if ((!type.empty() && type != L"text/html") || !LastString(document, url, L"template", address)) continue;
    PreferenceNode params;
    if (LastMember(document, &url, L"params", params) && params.kind == PreferenceKind::Array) {
      ElementCursor at{};
      while (document.NextElement(at, params)) {
        const PreferenceNode param = document.NodeOf(at);
        std::wstring name, value;
        if (param.kind != PreferenceKind::Object || !LastString(document, param, L"name", name) ||
            !LastString(document, param, L"value", value))
          continue;
        address += (address.find(L'?') == std::wstring::npos ? L"?" : L"&") + name + L"=" + value;
      }
    }
    return address;
  }
  return {};
}

// The default choices of "metaData": the member naming the engine and the
// hash Firefox keeps beside it. `byId` members name an engine's "id", the
// others its "_name".
struct Choice {
  std::wstring_view key, hash;
  bool byId;
};
constexpr std::array<Choice, 4> kChoices = {{
    {L"defaultEngineId", L"defaultEngineIdHash", true},
    {L"privateDefaultEngineId", L"privateDefaultEngineIdHash", true},
    {L"current", L"hash", false},
    {L"private", L"privateHash", false},
}};

struct Target {
  const std::wstring& id;
  const std::wstring& name;
  bool Is(const PreferenceDocument& document, const PreferenceNode& engine) const {
    if (engine.kind != PreferenceKind::Object) return false;
    std::wstring value;
    if (!id.empty()) return LastString(document, engine, L"id", value) && value == id;
    return !name.empty() && LastString(document, engine, L"_name", value) && value == name;
  }
  bool Chosen(const Choice& choice, const std::wstring& value) const {
    const std::wstring& wanted = choice.byId ? id : name;
    return !wanted.empty() && value == wanted;
  }
};

// The first stretch that still refers to the engine: an element of any
// "engines" list, a choice naming it in any "metaData" object, or (with
// `hashes`) the hash beside a choice in `marked`.
bool NextReference(const PreferenceDocument& document, const Target& target, const std::array<bool, 4>& marked,
                   bool hashes, PreferenceNode& out) {
  MemberCursor top{};
  std::wstring key, value;
  while (document.NextMember(top, nullptr)) {
    if (!document.KeyOf(top, key)) continue;
    const PreferenceNode node = document.NodeOf(top);
    if (key == L"engines" && node.kind == PreferenceKind::Array) {
      ElementCursor cursor{};
      while (document.NextElement(cursor, node)) {
        out = document.NodeOf(cursor);
        if (target.Is(document, out)) return true;
      }
    } else if (key == L"metaData" && node.kind == PreferenceKind::Object) {
      MemberCursor cursor{};
      while (document.NextMember(cursor, &node)) {
        if (!document.KeyOf(cursor, key)) continue;
        out = document.NodeOf(cursor);
        for (size_t i = 0; i < kChoices.size(); ++i) {
          const Choice& choice = kChoices[i];
          if (key == choice.key && out.kind == PreferenceKind::String &&
              document.ValueText(out, value) == PreferenceKind::String && target.Chosen(choice, value))
            return true;
          if (hashes && marked[i] && (key == choice.key || key == choice.hash)) return true;
        }
      }
    }
  }
  return false;
}

// Which choices name the engine in any copy of "metaData".
std::array<bool, 4> ChoicesNaming(const PreferenceDocument& document, const Target& target) {
  std::array<bool, 4> marked{};
  MemberCursor top{};
  std::wstring key, value;
  while (document.NextMember(top, nullptr)) {
    const PreferenceNode meta = document.NodeOf(top);
    if (!document.KeyOf(top, key) || key != L"metaData" || meta.kind != PreferenceKind::Object) continue;
    MemberCursor cursor{};
    while (document.NextMember(cursor, &meta)) {
      const PreferenceNode member = document.NodeOf(cursor);
      if (!document.KeyOf(cursor, key) || member.kind != PreferenceKind::String ||
          document.ValueText(member, value) != PreferenceKind::String)
        continue;
      for (size_t i = 0; i < kChoices.size(); ++i)
        if (key == kChoices[i].key && target.Chosen(kChoices[i], value)) marked[i] = true;
    }
  }
  return marked;
}

}  // namespace

bool ReadFirefoxSearchSettings(const PreferenceDocument& document, FirefoxSearchSettings& out) {
  out = {};
  PreferenceNode list;
  if (!LastMember(document, nullptr, L"engines", list) || list.kind != PreferenceKind::Array) return false;
  ElementCursor cursor{};
  size_t seen = 0;
  while (seen++ < kMaxFirefoxSearchEngines && document.NextElement(cursor, list)) {
    const PreferenceNode element = document.NodeOf(cursor);
    if (element.kind != PreferenceKind::Object) continue;
    FirefoxSearchEngine engine;
    LastString(document, element, L"id", engine.id);
    LastString(document, element, L"_name", engine.name);
    if (engine.id.empty() && engine.name.empty()) continue;
    LastString(document, element, L"_loadPath", engine.loadPath);
    engine.appProvided = LastIsTrue(document, element, L"_isAppProvided") ||
                         LastIsTrue(document, element, L"_isConfigEngine");
    engine.searchUrl = SearchUrl(document, element);
    out.engines.push_back(std::move(engine));
  }
  PreferenceNode meta;
  if (LastMember(document, nullptr, L"metaData", meta) && meta.kind == PreferenceKind::Object) {
    LastString(document, meta, L"defaultEngineId", out.defaultEngineId);
    LastString(document, meta, L"current", out.currentName);
  }
  return true;
}

const FirefoxSearchEngine* DefaultFirefoxSearchEngine(const FirefoxSearchSettings& settings) {
  if (!settings.defaultEngineId.empty()) {
    for (const FirefoxSearchEngine& engine : settings.engines)
      if (engine.id == settings.defaultEngineId) return &engine;
    return nullptr;
  }
  if (settings.currentName.empty()) return nullptr;
  for (const FirefoxSearchEngine& engine : settings.engines)
    if (engine.name == settings.currentName) return &engine;
  return nullptr;
}

bool ListsFirefoxSearchEngine(const FirefoxSearchSettings& settings, const std::wstring& id, const std::wstring& name) {
  for (const FirefoxSearchEngine& engine : settings.engines)
    if (id.empty() ? !name.empty() && engine.name == name : engine.id == id) return true;
  return false;
}

int RemoveFirefoxSearchEngine(PreferenceDocument& document, const std::wstring& id, const std::wstring& name) {
  const Target target{id, name};
  const std::array<bool, 4> marked = ChoicesNaming(document, target);
  int cut = 0;
  PreferenceNode node;
  while (NextReference(document, target, marked, true, node)) {
    if (!(node.isMember ? document.DeleteMember(node) : document.DeleteElement(node))) return -1;
    ++cut;
  }
  return cut;
}

bool HoldsFirefoxSearchEngine(const PreferenceDocument& document, const std::wstring& id, const std::wstring& name) {
  PreferenceNode node;
  return NextReference(document, Target{id, name}, {}, false, node);
}

}  // namespace tavrin
