#pragma once
// What a custom scan is asked to look at, from the text the user typed,
// dropped or picked: a folder (with or without its subfolders), one file,
// or several files of one folder written as the folder, "|" and each name.
#include <string>
#include <vector>

namespace tavrin {

enum class CustomScanMode { RecursiveFolder, FolderRoot, SingleFile, MultipleFiles };

struct CustomScanPlan {
  CustomScanMode mode = CustomScanMode::SingleFile;
  // The folder of the folder forms, else the files to check, in the order
  // the text gives them, each as a full path.
  std::vector<std::wstring> entries;
};

// The text as a plan. False when there is nothing to scan: a folder or a
// single file that does not exist, a "|" list with fewer than two parts, a
// list whose names are not plain file names of its folder (a name cannot
// lead out of the folder it is listed under), or one none of whose files
// exists. `recursive` counts only for a folder.
bool ParseCustomScanTarget(const std::wstring& text, bool recursive, CustomScanPlan& plan);

// The target text for items dropped or picked: one item as it is; several
// as the folder of the first file, "|" and the name of each file in that
// folder (folders and files elsewhere are left out).
std::wstring TargetOfItems(const std::vector<std::wstring>& items);

// The report's line for the mode: "\r\n\tOn demand ... threat scan\r\n".
const wchar_t* CustomScanModeLine(CustomScanMode mode);

}  // namespace tavrin
