#include "scan/scan_phases.h"

#include "scan/autostart_scan.h"
#include "scan/chromium_scan.h"
#include "scan/edge_uwp_scan.h"
#include "scan/firefox_scan.h"
#include "scan/ie_scan.h"
#include "scan/programs_phase.h"
#include "scan/scan_session.h"

namespace tavrin {

std::span<const ScanPhase> ScanPhases() {
  // Edge UWP on Windows 10.0 only (38, before Edge), Internet Explorer (40,
  // after Edge), Firefox (47), other Firefox (52) and
  // anti-malware (55) join this list as they are built; the Malware section
  // that closes every scan is written by the session itself.
  static constexpr ScanPhase kPhases[] = {
      {6, nullptr, ScanPrograms},
      {35, nullptr, ScanAutostart},
      {38, EdgeUwpApplies, ScanEdgeUwp},
      {38, nullptr, ScanEdge},
      {40, nullptr, ScanInternetExplorer},
      {45, nullptr, ScanChrome},
      {47, nullptr, ScanFirefox},
      {50, nullptr, ScanOtherChromium},
      {52, nullptr, ScanOtherFirefox},
  };
  return kPhases;
}

}  // namespace tavrin
