#pragma once
// What a scan runs with, for tests that run the session or its phases in
// their own process: a scratch data folder and the objects the scan thread
// works with, and the environment that points at them. A fixture derives
// from it; the scratch folder is made first and removed last.
#include <string>

#include "definitions/definitions_db.h"
#include "platform/run_control.h"
#include "platform/users.h"
#include "results/result_set.h"
#include "results/whitelist.h"
#include "scan/scan_session.h"
#include "support/scratch.h"

namespace tavrin::test {

struct ScanParts {
  ScratchFolder scratch;
  ScanSession session;
  ResultSet results;
  WhiteList whitelist;
  InteractiveUser interactiveUser;
  DefinitionsDb definitions;
  CancelFlags cancel;
  ScanEnvironment scan;

  // The whitelist from the scratch folder's settings, and `scan` pointed at
  // the parts, the scratch folder as the data folder and the definitions
  // server at `definitionsServer`.
  void WireScan(const std::wstring& definitionsServer) {
    LoadWhiteList(whitelist, scratch / L"Settings\\WhiteList.ini");
    scan.session = &session;
    scan.results = &results;
    scan.whitelist = &whitelist;
    scan.interactiveUser = &interactiveUser;
    scan.definitions = &definitions;
    scan.cancel = &cancel;
    scan.dataFolder = scratch.Path();
    scan.definitionsServer = definitionsServer;
  }
};

}  // namespace tavrin::test
