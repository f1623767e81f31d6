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

struct RootName {
  const wchar_t* token;
  const wchar_t* editorName;
};

constexpr RootName kRoots[] = {
    {L"HKLM", L"HKEY_LOCAL_MACHINE"},
    {L"HKLM64", L"HKEY_LOCAL_MACHINE"},
    {L"HKEY_LOCAL_MACHINE64", L"HKEY_LOCAL_MACHINE"},
    {L"HKLM32", L"HKEY_LOCAL_MACHINE"},
    {L"HKEY_LOCAL_MACHINE32", L"HKEY_LOCAL_MACHINE"},
    {L"HKU", L"HKEY_USERS"},
    {L"HKCU", L"HKEY_CURRENT_USER"},
    {L"HKCR32", L"HKEY_CLASSES_ROOT\\Wow6432Node"},
    {L"HKEY_CLASSES_ROOT32", L"HKEY_CLASSES_ROOT\\Wow6432Node"},
    {L"HKCR", L"HKEY_CLASSES_ROOT"},
    {L"HKCR64", L"HKEY_CLASSES_ROOT"},
    {L"HKEY_CLASSES_ROOT64", L"HKEY_CLASSES_ROOT"},
    {L"HKCC", L"HKEY_CURRENT_CONFIG"},
    // Views of roots the editor shows only one way.
    {L"HKU64", L"HKEY_USERS"},
    {L"HKU32", L"HKEY_USERS"},
    {L"HKCU64", L"HKEY_CURRENT_USER"},
    {L"HKCU32", L"HKEY_CURRENT_USER"},
    {L"HKCC64", L"HKEY_CURRENT_CONFIG"},
    {L"HKCC32", L"HKEY_CURRENT_CONFIG"},
    {L"HKEY_USERS64", L"HKEY_USERS"},
    {L"HKEY_USERS32", L"HKEY_USERS"},
    {L"HKEY_CURRENT_USER64", L"HKEY_CURRENT_USER"},
    {L"HKEY_CURRENT_USER32", L"HKEY_CURRENT_USER"},
    {L"HKEY_CURRENT_CONFIG64", L"HKEY_CURRENT_CONFIG"},
    {L"HKEY_CURRENT_CONFIG32", L"HKEY_CURRENT_CONFIG"},
};

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
  std::wstring path = target;
  const size_t first = path.find(L'\\');
  const std::wstring root = path.substr(0, first);
  std::wstring rest = first == std::wstring::npos ? L"" : path.substr(first);

  if (EqualsNoCase(root, L"HKLM32") || EqualsNoCase(root, L"HKEY_LOCAL_MACHINE32")) {
    const size_t second = rest.find(L'\\', 1);
    const std::wstring_view component = std::wstring_view(rest).substr(1, second == std::wstring::npos ? rest.npos : second - 1);
    if (rest.size() > 1 && EqualsNoCase(component, L"SOFTWARE")) {
      return L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node" + (second == std::wstring::npos ? L"" : rest.substr(second));
    }
  }
  for (const auto& name : kRoots) {
    if (EqualsNoCase(root, name.token)) return name.editorName + rest;
  }
  return path;
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
  if (StartsWithNoCase(editorPath, L"HKEY_USERS\\")) {
    std::wstring userKey = L"HKU" + editorPath.substr(10);
    if (!KeyExists(userKey)) {
      std::wstring sid = editorPath.substr(11);
      sid = sid.substr(0, sid.find(L'\\'));
      EnsureUserHive(sid);
    }
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
