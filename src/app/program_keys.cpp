#include "app/program_keys.h"

#include "platform/registry.h"

namespace tavrin {

void MoveLegacyKeys() {
  if (KeyExists(kLegacyVirusTotalKey)) CopyKey(kLegacyVirusTotalKey, kVirusTotalReportsKey, true);
  if (KeyExists(kLegacyProgramKey)) CopyKey(kLegacyProgramKey, kProgramKey, true);
}

}  // namespace tavrin
