// definitions_compiler SOURCE_FOLDER OUTPUT_FOLDER
//
// Compiles the definitions source (data/definitions) into the files that a
// static web server offers as an update: OUTPUT_FOLDER\tavrin\dbver2.txt and
// OUTPUT_FOLDER\tavrin\TVNdb2.zip, plus the hive itself as
// OUTPUT_FOLDER\TVNdb2.dat. Paths are Windows paths (Z:\... for host files
// under Wine).
#include <cstdio>
#include <string>
#include <vector>

#include "definitions_builder.h"
#include "definitions_source.h"

using namespace tavrin::definitions_tool;

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fwprintf(stderr, L"usage: definitions_compiler SOURCE_FOLDER OUTPUT_FOLDER\n");
    return 2;
  }
  DefinitionsSource source;
  std::vector<std::wstring> errors;
  if (!ReadDefinitionsFolder(argv[1], source, errors)) {
    for (const std::wstring& e : errors) std::fwprintf(stderr, L"%ls\n", e.c_str());
    return 1;
  }
  std::wstring error;
  if (!BuildUpdateFolder(source, argv[2], error)) {
    std::fwprintf(stderr, L"%ls\n", error.c_str());
    return 1;
  }
  size_t whiteListed = source.ieWhiteList.size();
  for (const WhiteListSection& section : source.whiteLists) whiteListed += section.entries.size();
  std::wprintf(L"database %u: %zu adware, %zu hashes, %zu whitelisted\n", source.number, source.adware.size(),
               source.malware.size(), whiteListed);
  return 0;
}
