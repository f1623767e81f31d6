// The custom scan of a large tree against a large hash database.
//   custom_scan_bench WORK [files] [hashes] [planted]
// Writes WORK\tree with `files` files (default 20,000) of mixed sizes in
// nested folders (programs with PE headers, and scripts), `planted` of
// them (default 200) named by the definitions, builds definitions with
// `hashes` MD5 hashes (default 100,000) into WORK\data and the same hashes
// as a ClamAV hash database WORK\bench.hdb, then runs the custom scan of
// the tree and prints:
//   files: N
//   found: N (of P planted)
//   custom scan s: S
//   custom scan files/s: R
// and, on a sample of the tree, what a file's verdict spends its time on.
// (scripts/custom-scan-bench runs clamscan on the same tree and database.)
#include <windows.h>
#include <wincrypt.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_scan.h"
#include "definitions_builder.h"
#include "definitions_source.h"
#include "definitions/definitions_db.h"
#include "definitions/malware_hashes.h"
#include "filetrust/file_hash.h"
#include "filetrust/file_trust.h"
#include "filetrust/version_info.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "platform/unique_handle.h"
#include "results/details_files.h"
#include "results/result_set.h"
#include "results/result_tabs.h"
#include "results/whitelist.h"
#include "scan/custom_scan.h"
#include "scan/malware_file_list.h"

using namespace tavrin;

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

struct Random {
  unsigned long long state = 0x9E3779B97F4A7C15ull;
  unsigned long long Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
};

// Mostly small files, some larger, a few of a few hundred KiB.
size_t SizeOf(Random& random) {
  const unsigned roll = unsigned(random.Next() % 100);
  if (roll < 60) return 1024 + random.Next() % 3072;
  if (roll < 90) return 8192 + random.Next() % 24576;
  if (roll < 99) return 32768 + random.Next() % 32768;
  return 262144 + random.Next() % 262144;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class NoProgress : public ProgressSink {
 public:
  void SetProgress(int) override {}
  void SetStatus(const std::wstring&) override {}
};

const wchar_t* const kExtensions[] = {L".exe", L".dll", L".sys", L".scr", L".js", L".ocx"};

// Program files start as programs do: a DOS header that leads to the PE
// headers of an x64 image (no sections, no certificate table), so that the
// verdicts meet the file type they meet in a real tree; scripts stay text.
void WriteImageHeaders(std::string& bytes) {
  const size_t peAt = 0x80;
  const size_t needed = peAt + 4 + sizeof(IMAGE_FILE_HEADER) + sizeof(IMAGE_OPTIONAL_HEADER64);
  if (bytes.size() < needed) return;
  IMAGE_DOS_HEADER dos{};
  dos.e_magic = IMAGE_DOS_SIGNATURE;
  dos.e_lfanew = LONG(peAt);
  IMAGE_NT_HEADERS64 nt{};
  nt.Signature = IMAGE_NT_SIGNATURE;
  nt.FileHeader.Machine = IMAGE_FILE_MACHINE_AMD64;
  nt.FileHeader.SizeOfOptionalHeader = sizeof(IMAGE_OPTIONAL_HEADER64);
  nt.FileHeader.Characteristics = IMAGE_FILE_EXECUTABLE_IMAGE | IMAGE_FILE_LARGE_ADDRESS_AWARE;
  nt.OptionalHeader.Magic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
  nt.OptionalHeader.FileAlignment = 0x200;
  nt.OptionalHeader.SectionAlignment = 0x1000;
  nt.OptionalHeader.SizeOfHeaders = 0x200;
  nt.OptionalHeader.SizeOfImage = 0x1000;
  nt.OptionalHeader.Subsystem = IMAGE_SUBSYSTEM_WINDOWS_GUI;
  nt.OptionalHeader.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
  std::memset(&bytes[0], 0, peAt);
  std::memcpy(&bytes[0], &dos, sizeof dos);
  std::memcpy(&bytes[peAt], &nt, sizeof nt);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: custom_scan_bench WORK [files] [hashes] [planted]\n");
    return 2;
  }
  const std::wstring work = argv[1];
  const int files = argc > 2 ? int(wcstoul(argv[2], nullptr, 10)) : 20000;
  const int hashes = argc > 3 ? int(wcstoul(argv[3], nullptr, 10)) : 100000;
  const int planted = argc > 4 ? int(wcstoul(argv[4], nullptr, 10)) : 200;
  if (files <= 0 || planted <= 0 || planted > files || hashes < planted) return 2;

  // The tree: 20 top folders of 10 subfolders each, files spread over all.
  auto start = Clock::now();
  Random random;
  const std::wstring tree = work + L"\\tree";
  std::vector<std::pair<std::wstring, size_t>> plantedFiles;
  const int every = files / planted;
  for (int i = 0; i < files; ++i) {
    const std::wstring folder = tree + L"\\top" + std::to_wstring(i % 20) + L"\\sub" + std::to_wstring((i / 20) % 10);
    if (i < 200 && !CreateFolderTree(folder)) return 1;
    std::string bytes(SizeOf(random), '\0');
    for (size_t at = 0; at + 8 <= bytes.size(); at += 8) {
      const unsigned long long value = random.Next();
      std::memcpy(&bytes[at], &value, 8);
    }
    const std::wstring extension = kExtensions[i % (sizeof kExtensions / sizeof kExtensions[0])];
    if (extension == L".js") {
      for (char& c : bytes) c = char('a' + (static_cast<unsigned char>(c) % 26));
    } else {
      WriteImageHeaders(bytes);
    }
    const std::wstring path = folder + L"\\file" + std::to_wstring(i) + extension;
    if (!WriteFileBytes(path, bytes)) return 1;
    if (i % every == 0 && int(plantedFiles.size()) < planted) plantedFiles.emplace_back(path, bytes.size());
  }
  std::printf("tree written in %.1f s\n", Seconds(start));

  // The hashes: the planted files', then made-up ones.
  start = Clock::now();
  definitions_tool::DefinitionsSource source;
  source.number = 7000;
  std::string hdb;
  for (size_t i = 0; i < plantedFiles.size(); ++i) {
    std::wstring hash;
    if (!Md5OfFile(plantedFiles[i].first, hash)) return 1;
    source.malware.push_back({hash, L"Bench.Planted" + std::to_wstring(i) + L".8766.100"});
    hdb += Narrow(hash) + ":" + std::to_string(plantedFiles[i].second) + ":Bench.Planted" + std::to_string(i) + "\n";
  }
  while (int(source.malware.size()) < hashes) {
    wchar_t hex[33];
    std::swprintf(hex, 33, L"%016llX%016llX", random.Next(), random.Next());
    const size_t size = SizeOf(random);
    source.malware.push_back({hex, L"Bench.Made" + std::to_wstring(source.malware.size()) + L".8766.100"});
    hdb += Narrow(hex) + ":" + std::to_string(size) + ":Bench.Made" + std::to_string(source.malware.size()) + "\n";
  }
  const std::wstring data = work + L"\\data";
  CreateFolderTree(data);
  std::wstring error;
  if (!definitions_tool::BuildDefinitionsHive(source, definitions_tool::DefaultScratchKey(), data + L"\\TVNdb2.dat",
                                              error)) {
    std::fprintf(stderr, "definitions: %s\n", Narrow(error).c_str());
    return 1;
  }
  WriteTextFile(data + L"\\TVNdb.txt", L"7000", TextEncoding::Ansi);
  if (!WriteFileBytes(work + L"\\bench.hdb", hdb)) return 1;
  std::printf("definitions built in %.1f s\n", Seconds(start));

  NoProgress progress;
  BenchScan bench(data, progress);
  ResultSet& results = bench.results;

  start = Clock::now();
  const int code = RunCustomScan(bench.scan, {tree, true});
  const double took = Seconds(start);
  const int found = RowCount(TabList(results, kMalwareTab));
  std::printf("files: %d\n", files);
  std::printf("found: %d (of %zu planted)\n", found, plantedFiles.size());
  std::printf("custom scan s: %.2f\n", took);
  std::printf("custom scan files/s: %.0f\n", files / took);

  // Where a file's verdict spends its time, on a sample of the tree.
  CollectedFiles collected;
  CollectFolder(collected, tree, true, nullptr);
  std::vector<std::wstring> sample = collected.Paths();
  if (sample.size() > 2000) sample.resize(2000);
  const double n = double(sample.size());
  start = Clock::now();
  for (const std::wstring& file : sample) {
    std::wstring publisher, fingerprint;
    VerifySignerTrust(file, publisher, &fingerprint);
  }
  std::printf("  VerifySignerTrust ms/file: %.3f\n", Seconds(start) * 1000 / n);
  start = Clock::now();
  for (const std::wstring& file : sample) {
    DWORD encoding = 0, contentType = 0, formatType = 0;
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    if (CryptQueryObject(CERT_QUERY_OBJECT_FILE, file.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                         CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, &store, &message,
                         nullptr)) {
      CertCloseStore(store, 0);
      CryptMsgClose(message);
    }
  }
  std::printf("  CryptQueryObject (asked of scripts only) ms/file: %.3f\n", Seconds(start) * 1000 / n);
  start = Clock::now();
  for (const std::wstring& file : sample) {
    std::wstring company;
    CompanyNameOf(file, company);
  }
  std::printf("  CompanyNameOf (left out) ms/file: %.3f\n", Seconds(start) * 1000 / n);
  std::vector<std::wstring> digests;
  start = Clock::now();
  for (const std::wstring& file : sample) {
    std::wstring hash;
    Md5OfFile(file, hash);
    digests.push_back(hash);
  }
  std::printf("  Md5OfFile ms/file: %.3f\n", Seconds(start) * 1000 / n);
  if (LoadScanDefinitions(bench.scan) == kScanRan) {
    start = Clock::now();
    for (const std::wstring& hash : digests) LookupMalwareHash(bench.session.definitionsKey, hash);
    std::printf("  LookupMalwareHash ms/file: %.3f\n", Seconds(start) * 1000 / n);
    UnmountDefinitions(bench.definitions);
  }
  DiscardResults(results);
  return code == kScanRan && found == int(plantedFiles.size()) ? 0 : 1;
}
