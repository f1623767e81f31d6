#pragma once
// What the detection rules work with during one scan. A scan phase fills it
// once from its environment and hands it, with a file or an entry, to the
// rules; the rules add the Malware rows themselves and answer whether there
// was a finding.
#include <string>

#include "definitions/detection_level.h"
#include "filetrust/file_trust.h"
#include "platform/run_control.h"

namespace tavrin {

class CloudVerdicts;
struct HashListQueue;
struct PendingHashTable;
struct ResultSet;
struct SystemFolders;
struct WhiteList;

struct DetectionContext {
  std::wstring definitionsRoot;            // the mounted database's RegPath
  ResultSet* results = nullptr;            // rows go to its Malware tab
  const WhiteList* whitelist = nullptr;    // none: nothing is whitelisted
  DetectionLevel level = DetectionLevel::Medium;
  const SystemFolders* systemFolders = nullptr;
  PendingHashTable* pending = nullptr;     // the scan's files awaiting the cloud
  HashListQueue* hashList = nullptr;       // the run's hash list
  CloudVerdicts* cloud = nullptr;          // none: offline
  const CancelFlags* cancel = nullptr;
  // Who signed a file. Only tests put another verifier here: the platform's
  // trust decisions cannot be chosen at will, the verdict around them can.
  TrustCode (*verifyTrust)(const std::wstring& path, std::wstring& publisher,
                           std::wstring* fingerprint) = VerifySignerTrust;

  bool Cancelled() const { return cancel && cancel->Cancelled(); }
};

// The cloud the context names, or a shared offline one.
CloudVerdicts& CloudOf(const DetectionContext& context);

}  // namespace tavrin
