#include "definitions/detection_context.h"

#include "definitions/cloud_verdicts.h"

namespace tavrin {

CloudVerdicts& CloudOf(const DetectionContext& context) {
  static OfflineCloudVerdicts offline;
  return context.cloud ? *context.cloud : offline;
}

}  // namespace tavrin
