#pragma once
// Which running browsers a browser repair ends. A running browser keeps its
// settings in memory and writes them back when it ends, which would undo a
// repair; but the executables the scan knows for the browsers found on the
// fly come from files any user can write ("Last Browser",
// "compatibility.ini"), so only an image that is provably the browser's
// own executable is ever ended.
#include <string>
#include <vector>

namespace tavrin {

enum class BrowserFamily { Chrome, Edge, Firefox, InternetExplorer, EdgeLegacy, OtherChromium, OtherFirefox };

// The places a browser is installed in: the program-files pair, the
// scanned users' local application data folders, the Windows folder.
struct BrowserPlaces {
  std::wstring programFiles64, programFiles32, windows;
  std::vector<std::wstring> localAppData;
};

// One browser a checked row touches: its family, the executable the scan
// found for it (the row's icon; may be empty) and the file the row repairs
// (for the browsers found on the fly it lies in their "User Data" or
// profile folder).
struct BrowserClaim {
  BrowserFamily family = BrowserFamily::Chrome;
  std::wstring executable;
  std::wstring rowPath;
};

// The canonical image paths to end, each once: the family's executables in
// their installation folders (for Chrome, Edge, Firefox and Internet
// Explorer the standard ones; the scan's executable only when it is the
// family's file name in a folder of the family's own), and for a browser
// found on the fly the scan's executable only when its file name is one a
// browser uses and it lies in the browser's own folder (below the folder
// that holds its "User Data", or the program-files folder of that name, or
// a Gecko installation folder holding "omni.ja"). Never an image inside the
// Windows folder other than the family's own, nor a critical system image.
std::vector<std::wstring> BrowserImagesToClose(const std::vector<BrowserClaim>& claims, const BrowserPlaces& places);

// Ends every process whose image is one of `images`: the number ended.
int CloseBrowserImages(const std::vector<std::wstring>& images);

}  // namespace tavrin
