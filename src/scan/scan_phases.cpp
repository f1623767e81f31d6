#include "scan/scan_phases.h"

#include "scan/anti_malware_phase.h"
#include "scan/autostart_scan.h"
#include "scan/chromium_scan.h"
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
      {38, nullptr, ScanEdge},
      {45, nullptr, ScanChrome},
      {50, nullptr, ScanOtherChromium},
      {55, AntiMalwareApplies, ScanAntiMalware},
  };
  return kPhases;
}

}  // namespace tavrin
