// Feeds arbitrary bytes to the reader of Firefox's compressed search
// settings twice: as the file itself, and as the JSON a well-formed file
// would hold. Checks what the scan and the repair rely on: a file decodes
// to exactly the size its header names or not at all, what is encoded
// decodes back unchanged, and the engine cut leaves no reference to the
// engine behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "browsers/firefox_search_engines.h"
#include "browsers/mozlz4_file.h"
#include "browsers/preference_document.h"

namespace {

void Fail(int line) {
  std::fprintf(stderr, "mozlz4_fuzzer: check at line %d failed\n", line);
  std::abort();
}
#define Check(condition) \
  do {                   \
    if (!(condition)) Fail(__LINE__); \
  } while (false)

std::uint32_t DeclaredSize(std::string_view file) {
  std::uint32_t size = 0;
  for (int i = 3; i >= 0; --i) size = size << 8 | std::uint8_t(file[8 + size_t(i)]);
  return size;
}

void ExerciseSettings(const std::string& json) {
  // Bytes as Latin-1 characters: every byte reaches the walker.
  const tavrin::PreferenceDocument document{std::wstring(json.begin(), json.end())};
  tavrin::FirefoxSearchSettings settings;
  if (!tavrin::ReadFirefoxSearchSettings(document, settings)) {
    Check(settings.engines.empty());
    return;
  }
  Check(settings.engines.size() <= tavrin::kMaxFirefoxSearchEngines);
  const tavrin::FirefoxSearchEngine* chosen = tavrin::DefaultFirefoxSearchEngine(settings);
  Check(!chosen || (chosen >= settings.engines.data() && chosen < settings.engines.data() + settings.engines.size()));
  size_t tried = 0;
  for (const tavrin::FirefoxSearchEngine& engine : settings.engines) {
    if (tried++ == 4) break;
    tavrin::PreferenceDocument copy{document.Text()};
    const int cut = tavrin::RemoveFirefoxSearchEngine(copy, engine.id, engine.name);
    if (cut < 0) continue;
    Check(!tavrin::HoldsFirefoxSearchEngine(copy, engine.id, engine.name));
    Check(copy.Text().size() <= document.Text().size());
    Check((cut == 0) == (copy.Text() == document.Text()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string json;
  if (tavrin::DecodeMozLz4(bytes, json)) {
    Check(bytes.size() >= 12 && json.size() == DeclaredSize(bytes) && json.size() <= tavrin::kMaxMozLz4Size);
    ExerciseSettings(json);
  } else {
    Check(json.empty());
  }
  std::string file, back;
  Check(tavrin::EncodeMozLz4(bytes, file));
  Check(tavrin::DecodeMozLz4(file, back) && back == bytes);
  ExerciseSettings(bytes);
  return 0;
}
