#include "inventory/file_facts.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <map>

#include "filetrust/file_hash.h"
#include "filetrust/file_trust.h"
#include "platform/file_system.h"
#include "platform/strings.h"

namespace tavrin {

namespace {

// Hashing and signature checks are disk and CPU bound; two workers keep
// one busy while the other waits for the disk without crowding the
// machine the scan runs on.
constexpr unsigned kWorkers = 2;

bool IsRegularFile(const std::wstring& file, unsigned long long& size) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

}  // namespace

FileFacts ReadFileFacts(const std::wstring& file) {
  FileFacts facts;
  unsigned long long size = 0;
  if (file.empty() || !IsAbsolutePath(file) || !IsRegularFile(file, size)) return facts;
  facts.exists = true;
  std::wstring publisher;
  if (VerifySignerTrust(file, publisher) == TrustValid) facts.signer = publisher;
  if (size <= kLargestHashedFile) DigestOfFile(file, CALG_SHA_256, facts.sha256, HexLowercase);
  return facts;
}

size_t FillFileFacts(std::vector<InventoryEntry>& entries, const CancelFlags* cancel) {
  // The distinct files, by their lower-case path, in the order first seen.
  std::map<std::wstring, size_t> index;
  std::vector<std::wstring> files;
  for (const InventoryEntry& entry : entries) {
    if (entry.file.empty()) continue;
    if (index.emplace(ToLower(entry.file), files.size()).second) files.push_back(entry.file);
  }

  std::vector<FileFacts> facts(files.size());
  std::vector<char> read(files.size(), 0);
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t k; (k = next++) < files.size();) {
      if (cancel && cancel->Cancelled()) return;
      facts[k] = ReadFileFacts(files[k]);
      read[k] = 1;
    }
  };
  std::vector<std::future<void>> workers;
  for (unsigned w = 1; w < std::min<size_t>(kWorkers, files.size()); ++w)
    workers.push_back(std::async(std::launch::async, work));
  work();
  for (auto& worker : workers) worker.get();

  for (InventoryEntry& entry : entries) {
    if (entry.file.empty()) continue;
    const size_t k = index[ToLower(entry.file)];
    if (!read[k]) continue;
    entry.fileExists = facts[k].exists;
    entry.signer = facts[k].signer;
    entry.sha256 = facts[k].sha256;
  }
  return size_t(std::count(read.begin(), read.end(), 1));
}

}  // namespace tavrin
