#pragma once
// The Chromium-family phases: start and home pages, search providers,
// extensions, shortcuts, group policies and the reset options of Microsoft
// Edge, Google Chrome and every other Chromium browser found in the users'
// application data, for every scanned user and profile, as rows of the
// "Internet browsers" tab and a block of the scan report each.
namespace tavrin {

struct ScanEnvironment;

void ScanEdge(ScanEnvironment& scan);
void ScanChrome(ScanEnvironment& scan);
void ScanOtherChromium(ScanEnvironment& scan);

}  // namespace tavrin
