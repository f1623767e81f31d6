#pragma once
// One scan from preparation to its end, run on the scan thread: the users,
// the work folder, the definitions, the report, the phases in their fixed
// order, and the exit code the window turns into the summary.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "definitions/detection_context.h"
#include "definitions/detection_level.h"
#include "definitions/pending_hash_table.h"
#include "filetrust/system_folders.h"
#include "inventory/autostart_inventory.h"
#include "platform/download_job.h"
#include "platform/run_control.h"
#include "platform/users.h"
#include "results/result_set.h"
#include "scan/known_folders.h"
#include "scan/scan_report.h"
#include "scan/scan_report_json.h"

namespace tavrin {

class CloudVerdicts;
struct DefinitionsDb;
struct HashListQueue;
struct WhiteList;

// The local time as a 64-bit FILETIME, written in decimal where it names
// the scan's mounted definitions, work folder and report.
using DbStamp = uint64_t;

struct ScanOptions {
  bool scanAllUsers = true;
  bool noMalware = false;
  bool autoReboot = false;
  bool createRestorePoint = true;
  bool removeAfterScan = false;
  bool scanAtStart = false;
  DetectionLevel detectionLevel = DetectionLevel::Medium;
};

// Exit codes of the scan thread.
enum ScanExitCode : int {
  kScanRan = 0,
  kScanNoUsers = 1,        // no account, or no work folder
  kScanNoDefinitions = 3,  // definitions not loaded, or cancelled while waiting for them
};

// The state a scan shares with its phases; reset at the start of each scan.
// The work folder of the details files belongs to the results (WorkFolder).
struct ScanSession {
  UserList users;
  // Account name of each user, then "(All users)" twice for the two
  // machine-wide locations of a phase.
  std::vector<std::wstring> userDisplayNames;
  DbStamp startTime = 0;  // also the scan's stamp
  std::wstring reportPath;  // empty when no report could be written
  std::wstring definitionsKey;
  double windowsVersion = 0;
  KnownFolders folders;
  SystemFolders systemFolders;  // what command lines are resolved against
  PendingHashTable pending;     // files whose verdict waits for the cloud
  ScanReport report;
  // Every autostart entry the scan read, listed as a row or not.
  std::vector<InventoryEntry> inventory;
  // The found-programs report to the maker's service; kept until the next
  // scan starts so that ending this one does not cut it off.
  DownloadJobPtr foundProgramsReport;
  bool cancelled = false;  // how the last scan ended
  // The header facts of the report's JSON twin, and the twin's path once it
  // was written (empty when it could not be).
  ScanTwinFacts twin;
  std::wstring twinPath;
};

// What the scan thread works with; the application context owns all of it.
struct ScanEnvironment {
  ScanOptions options;
  ScanSession* session = nullptr;
  ResultSet* results = nullptr;
  WhiteList* whitelist = nullptr;
  InteractiveUser* interactiveUser = nullptr;
  DefinitionsDb* definitions = nullptr;
  const CancelFlags* cancel = nullptr;
  ProgressSink* progress = nullptr;
  std::wstring dataFolder;
  std::wstring definitionsServer;  // base address of the definitions server
  HashListQueue* hashList = nullptr;  // the run's, kept across scans
  CloudVerdicts* cloud = nullptr;     // none: verdicts from the definitions alone

  bool Cancelled() const { return cancel && cancel->Cancelled(); }
};

DbStamp CurrentDbStamp();
// The scan report's path: data folder + "\tvnScan" + stamp + ".txt".
std::wstring ScanReportPath(const std::wstring& dataFolder, DbStamp stamp);

// What the detection rules need from a running scan: the mounted
// definitions, its rows and pending files, the run's whitelist, level,
// hash list and cloud.
DetectionContext DetectionContextOf(const ScanEnvironment& scan);

// The start of a scan thread: the process privileges enabled again (a state
// put back since start-up must not leave the scan without them), a new
// start time, and the last scan's report path, definitions key, pending
// files, results with their work folder, users and rows gone; progress 1,
// "Preparing to scan...".
void BeginScanSession(ScanEnvironment& scan);

// The end of a scan thread that loaded the definitions: the footer under
// "->" + `heading` when the report is open (else no report path), the
// definitions unmounted, progress 100, "Scan aborted." or "Scan complete.",
// the hive's logs deleted. Returns kScanRan.
int EndScanSession(ScanEnvironment& scan, std::wstring_view heading);

// The definitions of a scan: updated on the scan thread when no update ran
// yet, awaited when one is busy, then mounted under "TVN DB " + the stamp
// (progress 3 and 6). kScanRan, or kScanNoDefinitions.
int LoadScanDefinitions(ScanEnvironment& scan);
// What mounting a hive leaves in the data folder ("*.LOG*", "*.blf",
// "*.regtrans-ms").
void DeleteHiveLogs(const std::wstring& dataFolder);

// The scan thread's body; returns a ScanExitCode.
int RunScan(ScanEnvironment& scan);

}  // namespace tavrin
