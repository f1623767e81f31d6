#pragma once
// What a benchmark's scan runs with: the parts a scan thread works with,
// the data folder it finds its definitions in, and a definitions server
// where nothing listens (so the hive in place is used).
#include <string>

#include "definitions/definitions_db.h"
#include "platform/run_control.h"
#include "platform/users.h"
#include "results/result_set.h"
#include "results/whitelist.h"
#include "scan/scan_session.h"

namespace tavrin {

struct BenchScan {
  BenchScan(const std::wstring& dataFolder, ProgressSink& progress) {
    LoadWhiteList(whitelist, dataFolder + L"\\Settings\\WhiteList.ini");
    scan.session = &session;
    scan.results = &results;
    scan.whitelist = &whitelist;
    scan.interactiveUser = &interactiveUser;
    scan.definitions = &definitions;
    scan.cancel = &cancel;
    scan.progress = &progress;
    scan.dataFolder = dataFolder;
    scan.definitionsServer = L"http://127.0.0.1:9";
  }
  BenchScan(const BenchScan&) = delete;
  BenchScan& operator=(const BenchScan&) = delete;

  ScanSession session;
  ResultSet results;
  WhiteList whitelist;
  InteractiveUser interactiveUser;
  DefinitionsDb definitions;
  CancelFlags cancel;
  ScanEnvironment scan;
};

}  // namespace tavrin
