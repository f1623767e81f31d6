#include "browsers/preference_file.h"

#include <windows.h>

#include <algorithm>

#include "browsers/firefox_pref_line.h"
#include "browsers/preference_document.h"
#include "platform/document_file.h"
#include "platform/file_security.h"
#include "platform/file_system.h"
#include "platform/mapped_file.h"
#include "platform/text_file.h"

namespace tavrin {

namespace {

TextEncoding ToTextEncoding(PreferenceEncoding e) {
  switch (e) {
    case PreferenceEncoding::Utf8Bom: return TextEncoding::Utf8Bom;
    case PreferenceEncoding::Utf16Le: return TextEncoding::Utf16Le;
    case PreferenceEncoding::Utf16Be: return TextEncoding::Utf16Be;
    case PreferenceEncoding::Ansi: return TextEncoding::Ansi;
    default: return TextEncoding::Utf8;
  }
}

PreferenceEncoding FromTextEncoding(TextEncoding e) {
  switch (e) {
    case TextEncoding::Utf8Bom: return PreferenceEncoding::Utf8Bom;
    case TextEncoding::Utf16Le: return PreferenceEncoding::Utf16Le;
    case TextEncoding::Utf16Be: return PreferenceEncoding::Utf16Be;
    case TextEncoding::Ansi: return PreferenceEncoding::Ansi;
    default: return PreferenceEncoding::Utf8;
  }
}

// The bytes the text layer writes for the text in that encoding, mark first.
std::string EncodedBytes(const std::wstring& text, PreferenceEncoding encoding) {
  std::string out;
  switch (encoding) {
    case PreferenceEncoding::Utf16Le:
    case PreferenceEncoding::Utf16Be: {
      bool little = encoding == PreferenceEncoding::Utf16Le;
      out.push_back(little ? '\xFF' : '\xFE');
      out.push_back(little ? '\xFE' : '\xFF');
      for (wchar_t c : text) {
        char lo = char(c & 0xFF), hi = char((c >> 8) & 0xFF);
        out.push_back(little ? lo : hi);
        out.push_back(little ? hi : lo);
      }
      return out;
    }
    default: {
      UINT codePage = encoding == PreferenceEncoding::Ansi ? CP_ACP : CP_UTF8;
      if (encoding == PreferenceEncoding::Utf8Bom) out.assign("\xEF\xBB\xBF", 3);
      if (text.empty()) return out;
      int n = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
      if (n <= 0) return out + '\0';  // cannot match any file
      size_t at = out.size();
      out.resize(at + size_t(n));
      WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), out.data() + at, n, nullptr, nullptr);
      return out;
    }
  }
}

bool ReadPrefsText(const std::wstring& filePath, PreferenceDocument& doc) {
  doc.Load(filePath);
  return doc.WasRead();
}

}  // namespace

bool PreferenceDocument::Load(const std::wstring& path, PreferenceReadMode mode) {
  text_ = L"{}";
  path_ = path;
  encoding_ = PreferenceEncoding::Utf8;
  read_ = false;
  savable_ = true;
  Renew();
  if (!FileExists(path)) return true;
  // From here on a failure leaves a file we must not overwrite.
  savable_ = false;
  if (FileSize(path) > kMaxText) return true;
  TextFile file;
  if (!file.Open(path, TextRead, mode == PreferenceReadMode::Ansi ? TextEncoding::Ansi : TextEncoding::Utf8))
    return true;
  std::wstring text;
  file.ReadAll(text);
  PreferenceEncoding encoding = FromTextEncoding(file.Encoding());
  file.Close();
  MappedFile bytes(path);
  std::string expected = EncodedBytes(text, encoding);
  bool exact = bytes ? expected.size() == bytes.Bytes().size() &&
                           std::equal(expected.begin(), expected.end(), bytes.Bytes().begin(),
                                      [](char a, std::uint8_t b) { return std::uint8_t(a) == b; })
                     : expected.empty() || expected == "\xEF\xBB\xBF";
  text_ = std::move(text);
  encoding_ = encoding;
  read_ = true;
  savable_ = exact;
  Renew();
  return true;
}

bool PreferenceDocument::Save(const std::wstring& path, bool keepTimes) {
  const std::wstring& target = path.empty() ? path_ : path;
  if (target.empty() || !savable_) return false;
  // A rewrite in place kept the file's security, and refused a hidden or
  // read-only file; the hidden one is now written and stays hidden.
  unsigned options = DocumentKeepSecurity | DocumentKeepAttributes;
  if (keepTimes) options |= DocumentKeepTimes;
  return ReplaceDocument(target, EncodedBytes(text_, encoding_), options);
}

namespace {

bool ReadSearchPlugin(const std::wstring& filePath, std::wstring& name, bool mustBePlugin) {
  name.clear();
  if (FileSize(filePath) > PreferenceDocument::kMaxText) return false;
  std::wstring text;
  if (!ReadTextFile(filePath, text, TextEncoding::Utf8)) return false;
  if (mustBePlugin && !LooksLikeSearchPlugin(text)) return false;
  name = SearchPluginName(text);
  return true;
}

}  // namespace

bool SavePreferenceFile(PreferenceDocument& doc, bool keepTimes) {
  if (doc.Save({}, keepTimes)) return true;
  if (!doc.CanSave()) return false;
  const std::wstring& filePath = doc.Path();
  SavedFileSecurity saved;
  bool haveSaved = SaveFileSecurity(filePath, saved);
  TakeOverFile(filePath);
  bool ok = doc.Save({}, keepTimes);
  if (haveSaved) RestoreFileSecurity(filePath, saved);
  return ok;
}

namespace {

bool RemovePreferenceNode(const std::wstring& filePath, const std::wstring& jsonPath, bool keepTimes) {
  PreferenceDocument doc;
  doc.Load(filePath);
  return doc.DeletePath(jsonPath) && SavePreferenceFile(doc, keepTimes);
}

}  // namespace

bool RemovePreferenceNode(const std::wstring& filePath, const std::wstring& jsonPath) {
  return RemovePreferenceNode(filePath, jsonPath, false);
}

bool RemovePreferenceNodeKeepTimes(const std::wstring& filePath, const std::wstring& jsonPath) {
  // The times go onto the new file before it takes the old one's place, so
  // no moment shows the edit with fresh times.
  return FileExists(filePath) && RemovePreferenceNode(filePath, jsonPath, true);
}

bool ReadFirefoxPref(const std::wstring& filePath, const std::wstring& name, std::wstring& value) {
  value.clear();
  PreferenceDocument doc;
  if (!ReadPrefsText(filePath, doc)) return false;
  FirefoxPrefLine line;
  if (!FindFirefoxPrefLine(doc.Text(), name, line)) return false;
  value = line.value;
  return true;
}

bool RemoveFirefoxPref(const std::wstring& filePath, const std::wstring& name) {
  PreferenceDocument doc;
  if (!ReadPrefsText(filePath, doc)) return false;
  FirefoxPrefLine line;
  if (!FindFirefoxPrefLine(doc.Text(), name, line) || line.length == 0) return false;
  doc.ReplaceText(WithoutFirefoxPrefLine(doc.Text(), line));
  return doc.Save();
}

std::wstring ReadSearchPluginName(const std::wstring& filePath) {
  std::wstring name;
  ReadSearchPlugin(filePath, name, false);
  return name;
}

bool ReadSearchPlugin(const std::wstring& filePath, std::wstring& name) {
  return ReadSearchPlugin(filePath, name, true);
}

}  // namespace tavrin
