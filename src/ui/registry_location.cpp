#include "ui/registry_location.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <vector>

#include "platform/message_pump.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/remote_buffer.h"
#include "platform/shell_folders.h"
#include "platform/strings.h"
#include "platform/users.h"

namespace tavrin {

namespace {

constexpr wchar_t kRegeditKey[] = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";

// The top-level window of the process that has a list of values.
struct EditorWindows {
  DWORD pid = 0;
  HWND main = nullptr;
  HWND list = nullptr;
};

BOOL CALLBACK FindValueList(HWND window, LPARAM param) {
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (!EqualsNoCase(className, WC_LISTVIEWW)) return TRUE;
  *reinterpret_cast<HWND*>(param) = window;
  return FALSE;
}

// The list is a direct child of the editor's window on Windows and sits
// one level deeper in other implementations: any descendant will do.
BOOL CALLBACK FindEditorWindow(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<EditorWindows*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != found->pid) return TRUE;
  HWND list = nullptr;
  EnumChildWindows(window, FindValueList, reinterpret_cast<LPARAM>(&list));
  if (!list) return TRUE;
  found->main = window;
  found->list = list;
  return FALSE;
}

// Waits for the editor's value list, dispatching this thread's messages
// between the rounds.
bool WaitForEditorList(DWORD pid, EditorWindows& editor) {
  editor.pid = pid;
  for (int round = 0; round < 500; ++round) {
    if (!IsProcessRunning(pid)) return false;
    if (!editor.list) EnumWindows(FindEditorWindow, reinterpret_cast<LPARAM>(&editor));
    if (editor.list) {
      for (int wait = 0; wait < 100; ++wait) {
        if (SendMessageW(editor.list, LVM_GETITEMCOUNT, 0, 0) > 0) return true;
        Sleep(10);
      }
      return true;
    }
    DispatchPendingMessages();
    Sleep(10);
  }
  return false;
}

// Finds the entry of that exact text in the editor's list, which lives in
// the editor's process: the request and the text go through its memory.
void SelectEditorValue(const EditorWindows& editor, const std::wstring& valueName) {
  const std::wstring shown = valueName.empty() ? std::wstring(kDefaultValueLabel) : valueName;
  RemoteBuffer remote(editor.pid, sizeof(LVFINDINFOW) + sizeof(LVITEMW) + (shown.size() + 1) * sizeof(wchar_t));
  if (!remote) return;
  auto* base = static_cast<unsigned char*>(remote.Address());
  auto* remoteFind = base;
  auto* remoteItem = base + sizeof(LVFINDINFOW);
  auto* remoteText = remoteItem + sizeof(LVITEMW);

  LVFINDINFOW find{};
  find.flags = LVFI_STRING;
  find.psz = reinterpret_cast<LPCWSTR>(remoteText);
  if (!remote.Write(remoteText - base, shown.c_str(), (shown.size() + 1) * sizeof(wchar_t)) ||
      !remote.Write(0, &find, sizeof find))
    return;
  // The editor may still be filling the list of the key it opened last, and
  // every key has a default entry: give the wanted one a moment to appear.
  int index = -1;
  for (int round = 0; round < 100; ++round) {
    index = int(SendMessageW(editor.list, LVM_FINDITEMW, WPARAM(-1), reinterpret_cast<LPARAM>(remoteFind)));
    if (index >= 0) break;
    DispatchPendingMessages();
    Sleep(10);
  }
  if (index < 0) return;

  SendMessageW(editor.list, LVM_ENSUREVISIBLE, index, FALSE);
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  if (remote.Write(remoteItem - base, &clear, sizeof clear))
    SendMessageW(editor.list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(remoteItem));
  LVITEMW select{};
  select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  select.state = LVIS_SELECTED | LVIS_FOCUSED;
  if (remote.Write(remoteItem - base, &select, sizeof select))
    SendMessageW(editor.list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(remoteItem));

  // Focus belongs to the editor's thread; share its input state for the call.
  const DWORD editorThread = GetWindowThreadProcessId(editor.list, nullptr);
  const DWORD ownThread = GetCurrentThreadId();
  const bool attached = editorThread != ownThread && AttachThreadInput(ownThread, editorThread, TRUE);
  SetForegroundWindow(editor.main);
  SetFocus(editor.list);
  if (attached) AttachThreadInput(ownThread, editorThread, FALSE);
}

}  // namespace

std::wstring RegistryEditorPath(const std::wstring& target) {
  const RegPathParts parts = ParseRegPath(target);
  if (!parts) return target;
  // The editor shows the 32-bit view only as the node it lies under, and
  // spells that node its own way.
  const std::wstring subkey = SubkeyInNativeView(parts, L"Wow6432Node");
  if (subkey.empty()) return parts.rootName;
  return parts.rootName + (L"\\" + subkey);
}

std::wstring RegistryEditorLastKey(const std::wstring& editorPath, const std::wstring& previousLastKey) {
  const size_t backslash = previousLastKey.find(L'\\');
  if (previousLastKey.size() <= 1 || backslash == std::wstring::npos) return editorPath;
  // A value that starts at a root key (written by an editor that names no
  // root node, or by an earlier call here without one) has no node name to
  // keep: repeating its root would point the editor nowhere.
  const std::wstring node = previousLastKey.substr(0, backslash);
  if (StartsWithNoCase(node, L"HKEY_")) return editorPath;
  return node + L"\\" + editorPath;
}

bool OpenRegistryLocation(const std::wstring& target, const std::wstring* valueName) {
  const std::wstring editorPath = RegistryEditorPath(target);

  // A user who is not logged on has no hive under HKEY_USERS until it is
  // mounted, and the editor would show nothing.
  const RegPathParts parts = ParseRegPath(target);
  if (parts.root == HKEY_USERS && !parts.subkey.empty()) {
    if (!KeyExists(L"HKU\\" + parts.subkey)) EnsureUserHive(parts.subkey.substr(0, parts.subkey.find(L'\\')));
  }

  const std::wstring editor = ShellFolder(CSIDL_WINDOWS) + L"\\regedit.exe";
  // One editor at a time reads "Lastkey" only when it starts.
  KillProcessesByPath(editor);

  std::wstring previous;
  ReadStringAt(kRegeditKey, L"Lastkey", previous);
  WriteStringAt(kRegeditKey, L"Lastkey", RegistryEditorLastKey(editorPath, previous));

  const long long pid = RunProgram(L"\"" + editor + L"\"", L"", SW_SHOWNORMAL, false);
  if (pid <= 0) return false;
  EditorWindows windows;
  if (!WaitForEditorList(DWORD(pid), windows)) return false;
  if (valueName) SelectEditorValue(windows, *valueName);
  return true;
}

}  // namespace tavrin
