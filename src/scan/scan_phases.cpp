#include "scan/scan_phases.h"

#include "scan/anti_malware_phase.h"
#include "scan/autostart_scan.h"
#include "scan/chromium_scan.h"
#include "scan/edge_uwp_scan.h"
#include "scan/firefox_scan.h"
#include "scan/ie_scan.h"
#include "scan/programs_phase.h"
#include "scan/scan_session.h"

namespace tavrin {

std::span<const ScanPhase> ScanPhases() {
  // Programs, autostart, the browsers (Edge (UWP) on Windows 10.0 only),
  // then anti-malware; the Malware section that closes every scan is
  // written by the session itself.
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
      {55, AntiMalwareApplies, ScanAntiMalware},
  };
  return kPhases;
}

}  // namespace tavrin
