#include "platform/scheduled_tasks.h"

#include <windows.h>
#include <mstask.h>
#include <msxml2.h>
#include <oleauto.h>
#include <taskschd.h>

#include <cwchar>
#include <string_view>
#include <utility>

#include "platform/com_ptr.h"
#include "platform/com_scope.h"
#include "platform/file_system.h"
#include "platform/find_files.h"
#include "platform/strings.h"
#include "platform/unique_handle.h"
#include "platform/windows_version.h"

namespace tavrin {

namespace {

// MinGW's headers name these classes without making their identifiers
// available to __uuidof, so they are spelled out.
constexpr CLSID kDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr CLSID kDomDocument30 = {0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
constexpr IID kIXmlDomDocument = {0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

constexpr wchar_t kTaskNamespace[] = L"http://schemas.microsoft.com/windows/2004/02/mit/task";

// Real task trees are two or three folders deep; a deeper one is made by
// hand, and a bound keeps a hostile tree from exhausting the stack.
constexpr int kMaxFolderDepth = 32;
// The 1.0 enumerator is asked for this many names per call.
constexpr ULONG kWorkItemBatch = 5;

// A BSTR handed out by an interface, freed on scope exit.
class BstrOut {
 public:
  BstrOut() = default;
  ~BstrOut() { SysFreeString(s_); }
  BstrOut(const BstrOut&) = delete;
  BstrOut& operator=(const BstrOut&) = delete;
  BSTR* Put() {
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  std::wstring Text() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }

 private:
  BSTR s_ = nullptr;
};

// A string the 1.0 interfaces allocate with the task allocator.
class TaskMemText {
 public:
  TaskMemText() = default;
  explicit TaskMemText(LPWSTR s) : s_(s) {}
  ~TaskMemText() { CoTaskMemFree(s_); }
  TaskMemText(const TaskMemText&) = delete;
  TaskMemText& operator=(const TaskMemText&) = delete;
  LPWSTR* Put() {
    CoTaskMemFree(s_);
    s_ = nullptr;
    return &s_;
  }
  std::wstring Text() const { return s_ ? std::wstring(s_) : std::wstring(); }

 private:
  LPWSTR s_ = nullptr;
};

// A VARIANT cleared on scope exit; empty unless set.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  explicit Variant(LONG value) : Variant() {
    v_.vt = VT_I4;
    v_.lVal = value;
  }
  explicit Variant(const wchar_t* text) : Variant() {
    v_.vt = VT_BSTR;
    v_.bstrVal = SysAllocString(text);
  }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  operator VARIANT() const { return v_; }

 private:
  VARIANT v_;
};

std::wstring SystemFolder() {
  wchar_t path[MAX_PATH] = {};
  UINT n = GetSystemDirectoryW(path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

std::wstring WindowsFolder() {
  wchar_t path[MAX_PATH] = {};
  UINT n = GetWindowsDirectoryW(path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

// The 2.0 service keeps its definitions under the system folder; the 1.0
// work items live as .job files under the Windows folder.
std::wstring ServiceTasksFolder() { return SystemFolder() + L"\\Tasks"; }
std::wstring LegacyTasksFolder() { return WindowsFolder() + L"\\Tasks"; }

std::wstring LegacyTaskFile(const std::wstring& name) {
  std::wstring file = LegacyTasksFolder() + L"\\" + name;
  if (!EndsWithNoCase(name, L".job")) file += L".job";
  return file;
}

// The enumerator names work items with their ".job" extension; Windows
// takes either form back, Wine only the bare name.
std::wstring BareJobName(const std::wstring& name) {
  return EndsWithNoCase(name, L".job") && name.size() > 4 ? name.substr(0, name.size() - 4) : name;
}

std::wstring JoinFolder(const std::wstring& folder, const std::wstring& name) {
  return folder == L"\\" ? L"\\" + name : folder + L"\\" + name;
}

// "\" or "\A\B" from what a caller hands in; empty for a path that could
// step out of the tasks tree once it is joined to a file-system folder.
std::wstring NormalizeFolder(const std::wstring& folder) {
  std::wstring normal;
  for (const std::wstring& part : Split(folder, L"\\")) {
    if (part.empty()) continue;
    if (part == L"." || part == L".." || part.find_first_of(L"/:") != std::wstring::npos) return {};
    normal += L"\\" + part;
  }
  return normal.empty() ? L"\\" : normal;
}

enum class ServiceState { NotCreated, Unusable, Connected };

ServiceState OpenService(ComPtr<ITaskService>& service) {
  if (FAILED(CoCreateInstance(__uuidof(TaskScheduler), nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITaskService),
                              service.PutVoid())) ||
      !service)
    return ServiceState::NotCreated;
  Variant empty;
  return SUCCEEDED(service->Connect(empty, empty, empty, empty)) ? ServiceState::Connected : ServiceState::Unusable;
}

bool OpenLegacyScheduler(ComPtr<ITaskScheduler>& scheduler) {
  return SUCCEEDED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                    scheduler.PutVoid())) &&
         scheduler;
}

// --- task XML ---------------------------------------------------------

bool IsTaskElement(IXMLDOMNode* node, const wchar_t* localName) {
  DOMNodeType type = NODE_INVALID;
  if (FAILED(node->get_nodeType(&type)) || type != NODE_ELEMENT) return false;
  BstrOut name, uri;
  if (FAILED(node->get_baseName(name.Put())) || name.Text() != localName) return false;
  // Files written by hand sometimes drop the namespace; any other
  // namespace is another vocabulary that happens to use the same names.
  if (FAILED(node->get_namespaceURI(uri.Put()))) return false;
  const std::wstring ns = uri.Text();
  return ns.empty() || ns == kTaskNamespace;
}

// The child elements of a node with the given local name, in order.
std::vector<ComPtr<IXMLDOMNode>> ChildElements(IXMLDOMNode* parent, const wchar_t* localName) {
  std::vector<ComPtr<IXMLDOMNode>> found;
  ComPtr<IXMLDOMNodeList> children;
  if (FAILED(parent->get_childNodes(children.Put())) || !children) return found;
  LONG count = 0;
  if (FAILED(children->get_length(&count))) return found;
  for (LONG i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> child;
    if (FAILED(children->get_item(i, child.Put())) || !child) continue;
    if (IsTaskElement(child.Get(), localName)) found.push_back(std::move(child));
  }
  return found;
}

std::wstring ChildText(IXMLDOMNode* parent, const wchar_t* localName) {
  std::vector<ComPtr<IXMLDOMNode>> children = ChildElements(parent, localName);
  if (children.empty()) return {};
  BstrOut text;
  if (FAILED(children.front()->get_text(text.Put()))) return {};
  return Trim(text.Text());
}

bool CreateDomDocument(ComPtr<IXMLDOMDocument>& document) {
  for (const CLSID& type : {kDomDocument60, kDomDocument30}) {
    if (SUCCEEDED(CoCreateInstance(type, nullptr, CLSCTX_INPROC_SERVER, kIXmlDomDocument, document.PutVoid())) &&
        document)
      return true;
  }
  return false;
}

// --- task file bytes ----------------------------------------------------

// At most `limit` + 1 bytes, so that a file that grew past the limit after
// its size was read is still recognised as too big.
bool ReadBoundedBytes(const std::wstring& path, size_t limit, std::string& bytes) {
  UniqueFile file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > limit)
    return false;
  bytes.assign(limit + 1, '\0');
  size_t total = 0;
  while (total < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(bytes.size() - total);
    if (!ReadFile(file.get(), bytes.data() + total, want, &got, nullptr)) return false;
    if (got == 0) break;
    total += got;
  }
  if (total > limit) return false;
  bytes.resize(total);
  return true;
}

std::wstring Utf16Text(std::string_view bytes, bool bigEndian) {
  std::wstring text(bytes.size() / 2, L'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char a = static_cast<unsigned char>(bytes[2 * i]);
    const unsigned char b = static_cast<unsigned char>(bytes[2 * i + 1]);
    text[i] = static_cast<wchar_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  }
  return text;
}

// Windows writes task files as UTF-16LE with a mark; tools and people
// also leave UTF-8 ones, with or without mark, which the service reads.
std::wstring DecodeTaskBytes(std::string_view bytes) {
  auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (startsWith("\xFF\xFE")) return Utf16Text(bytes.substr(2), false);
  if (startsWith("\xFE\xFF")) return Utf16Text(bytes.substr(2), true);
  if (startsWith("\xEF\xBB\xBF")) return Utf8ToWide(bytes.substr(3));
  // Without a mark the first character of an XML document is ASCII, which
  // shows its width by where the zero byte falls.
  if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0') return Utf16Text(bytes, false);
  if (bytes.size() >= 2 && bytes[0] == '\0' && bytes[1] != '\0') return Utf16Text(bytes, true);
  return Utf8ToWide(bytes);
}

// --- enumeration --------------------------------------------------------

// The executable actions of a registered task; false when its definition
// cannot be read, which happens to tasks whose registration was damaged.
bool ServiceTaskActions(IRegisteredTask* task, std::vector<TaskAction>& actions) {
  ComPtr<ITaskDefinition> definition;
  ComPtr<IActionCollection> collection;
  if (FAILED(task->get_Definition(definition.Put())) || !definition) return false;
  if (FAILED(definition->get_Actions(collection.Put())) || !collection) return false;
  LONG count = 0;
  if (FAILED(collection->get_Count(&count))) return false;
  for (LONG i = 1; i <= count; ++i) {
    ComPtr<IAction> action;
    TASK_ACTION_TYPE type = TASK_ACTION_EXEC;
    if (FAILED(collection->get_Item(i, action.Put())) || !action) continue;
    if (FAILED(action->get_Type(&type)) || type != TASK_ACTION_EXEC) continue;
    ComPtr<IExecAction> exec;
    if (FAILED(action->QueryInterface(__uuidof(IExecAction), exec.PutVoid())) || !exec) continue;
    BstrOut path, arguments;
    if (FAILED(exec->get_Path(path.Put()))) continue;
    exec->get_Arguments(arguments.Put());
    if (path.Text().empty()) continue;
    actions.push_back({path.Text(), arguments.Text()});
  }
  return true;
}

void AddServiceTasks(ITaskFolder* folder, const std::wstring& folderPath, std::vector<ScheduledTask>& tasks) {
  ComPtr<IRegisteredTaskCollection> collection;
  if (FAILED(folder->GetTasks(TASK_ENUM_HIDDEN, collection.Put())) || !collection) return;
  LONG count = 0;
  if (FAILED(collection->get_Count(&count))) return;
  for (LONG i = 1; i <= count; ++i) {
    ComPtr<IRegisteredTask> registered;
    Variant index(i);
    if (FAILED(collection->get_Item(index, registered.Put())) || !registered) continue;
    BstrOut name;
    if (FAILED(registered->get_Name(name.Put())) || name.Text().empty()) continue;
    ScheduledTask task;
    if (!ServiceTaskActions(registered.Get(), task.actions)) continue;
    task.name = name.Text();
    task.folder = folderPath;
    task.taskFile = ServiceTasksFolder() + JoinFolder(folderPath, task.name);
    tasks.push_back(std::move(task));
  }
}

bool Listed(const std::vector<ScheduledTask>& tasks, size_t from, const std::wstring& name) {
  for (size_t i = from; i < tasks.size(); ++i)
    if (EqualsNoCase(tasks[i].name, name)) return true;
  return false;
}

// Task files of the folder that the service did not list (those from
// `listedFrom` on are this folder's).
void AddFileTasks(const std::wstring& directory, const std::wstring& folderPath, size_t listedFrom,
                  std::vector<ScheduledTask>& tasks) {
  FindFiles find(directory + L"\\*");
  while (find.Next()) {
    if (find.IsFolder() || find.Size() > kMaxTaskFileBytes) continue;
    const std::wstring name = find.Name();
    if (Listed(tasks, listedFrom, name)) continue;
    ScheduledTask task;
    if (!ReadTaskFile(directory + L"\\" + name, task.actions)) continue;
    task.name = name;
    task.folder = folderPath;
    task.taskFile = directory + L"\\" + name;
    tasks.push_back(std::move(task));
  }
}

struct Subfolder {
  std::wstring name;
  ComPtr<ITaskFolder> serviceFolder;  // empty when only the file tree has it
};

std::vector<Subfolder> Subfolders(ITaskFolder* serviceFolder, const std::wstring& directory) {
  std::vector<Subfolder> subfolders;
  ComPtr<ITaskFolderCollection> collection;
  LONG count = 0;
  if (serviceFolder && SUCCEEDED(serviceFolder->GetFolders(0, collection.Put())) && collection &&
      SUCCEEDED(collection->get_Count(&count))) {
    for (LONG i = 1; i <= count; ++i) {
      Subfolder sub;
      Variant index(i);
      BstrOut name;
      if (FAILED(collection->get_Item(index, sub.serviceFolder.Put())) || !sub.serviceFolder) continue;
      if (FAILED(sub.serviceFolder->get_Name(name.Put()))) continue;
      sub.name = name.Text();
      if (NormalizeFolder(sub.name) != L"\\" + sub.name) continue;
      subfolders.push_back(std::move(sub));
    }
  }
  FindFiles find(directory + L"\\*");
  while (find.Next()) {
    // A junction could loop the walk back onto itself.
    if (!find.IsFolder() || find.IsReparsePoint()) continue;
    const std::wstring name = find.Name();
    bool known = false;
    for (const Subfolder& sub : subfolders) known = known || EqualsNoCase(sub.name, name);
    if (!known) subfolders.push_back({name, {}});
  }
  return subfolders;
}

void WalkFolder(ITaskFolder* serviceFolder, const std::wstring& folderPath, bool ownTasks, bool recurse, int depth,
                std::vector<ScheduledTask>& tasks) {
  const std::wstring directory = ServiceTasksFolder() + (folderPath == L"\\" ? L"" : folderPath);
  if (ownTasks) {
    const size_t first = tasks.size();
    if (serviceFolder) AddServiceTasks(serviceFolder, folderPath, tasks);
    AddFileTasks(directory, folderPath, first, tasks);
  }
  if (!recurse || depth >= kMaxFolderDepth) return;
  for (Subfolder& sub : Subfolders(serviceFolder, directory))
    WalkFolder(sub.serviceFolder.Get(), JoinFolder(folderPath, sub.name), true, true, depth + 1, tasks);
}

// --- registration -------------------------------------------------------

bool RunsAsLocalSystem() {
  UniqueToken token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
  alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size)) return false;
  return IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, WinLocalSystemSid) != FALSE;
}

// The current user as the scheduler names a principal: with its computer
// when the name carries no domain.
std::wstring CurrentTaskUser() {
  wchar_t user[256 + 1] = {};
  DWORD userSize = 256 + 1;
  if (!GetUserNameW(user, &userSize)) return {};
  std::wstring name = user;
  if (name.find(L'\\') != std::wstring::npos) return name;
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD computerSize = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(computer, &computerSize)) return name;
  return std::wstring(computer) + L"\\" + name;
}

std::wstring StartBoundary(const SYSTEMTIME& t) {
  wchar_t text[32] = {};
  swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02u", unsigned(t.wYear), unsigned(t.wMonth), unsigned(t.wDay),
           unsigned(t.wHour), unsigned(t.wMinute), unsigned(t.wSecond));
  return text;
}

bool FillDefinition(ITaskDefinition* definition, const TaskRegistration& task) {
  ComPtr<IRegistrationInfo> info;
  ComPtr<IPrincipal> principal;
  ComPtr<ITaskSettings> settings;
  Bstr description(task.description.c_str()), principalId(L"Principal1"), user(CurrentTaskUser().c_str());
  if (FAILED(definition->get_RegistrationInfo(info.Put())) || !info || FAILED(info->put_Description(description)))
    return false;
  if (FAILED(definition->get_Principal(principal.Put())) || !principal || FAILED(principal->put_Id(principalId)) ||
      FAILED(principal->put_UserId(user)) || FAILED(principal->put_LogonType(TASK_LOGON_INTERACTIVE_TOKEN)) ||
      FAILED(principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST)))
    return false;
  if (FAILED(definition->get_Settings(settings.Put())) || !settings ||
      FAILED(settings->put_StartWhenAvailable(VARIANT_TRUE)) ||
      FAILED(settings->put_StopIfGoingOnBatteries(VARIANT_FALSE)) ||
      FAILED(settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE)))
    return false;

  ComPtr<ITriggerCollection> triggers;
  ComPtr<ITrigger> trigger;
  Bstr triggerId(L"Trigger1"), start(StartBoundary(task.firstStart).c_str());
  if (FAILED(definition->get_Triggers(triggers.Put())) || !triggers ||
      FAILED(triggers->Create(task.repeatDays > 0 ? TASK_TRIGGER_DAILY : TASK_TRIGGER_TIME, trigger.Put())) ||
      !trigger || FAILED(trigger->put_Id(triggerId)) || FAILED(trigger->put_StartBoundary(start)))
    return false;
  if (task.repeatDays > 0) {
    ComPtr<IDailyTrigger> daily;
    if (FAILED(trigger->QueryInterface(__uuidof(IDailyTrigger), daily.PutVoid())) || !daily ||
        FAILED(daily->put_DaysInterval(static_cast<short>(task.repeatDays > 32767 ? 32767 : task.repeatDays))))
      return false;
  }

  ComPtr<IActionCollection> actions;
  ComPtr<IAction> action;
  ComPtr<IExecAction> exec;
  Bstr actionId(L"Action1"), path(task.executable.c_str()), arguments(task.arguments.c_str()),
      workingFolder(task.workingFolder.c_str());
  return SUCCEEDED(definition->get_Actions(actions.Put())) && actions &&
         SUCCEEDED(actions->Create(TASK_ACTION_EXEC, action.Put())) && action &&
         SUCCEEDED(action->put_Id(actionId)) &&
         SUCCEEDED(action->QueryInterface(__uuidof(IExecAction), exec.PutVoid())) && exec &&
         SUCCEEDED(exec->put_Path(path)) && SUCCEEDED(exec->put_Arguments(arguments)) &&
         SUCCEEDED(exec->put_WorkingDirectory(workingFolder));
}

bool RegisterWithService(ITaskService* service, const TaskRegistration& task) {
  ComPtr<ITaskFolder> root;
  ComPtr<ITaskDefinition> definition;
  ComPtr<IRegisteredTask> registered;
  Bstr rootPath(L"\\"), name(task.name.c_str());
  if (FAILED(service->GetFolder(rootPath, root.Put())) || !root) return false;
  if (FAILED(service->NewTask(0, definition.Put())) || !definition) return false;
  if (!FillDefinition(definition.Get(), task)) return false;
  // Registered over the old task, never after deleting it: a registration
  // the scheduler refuses keeps the schedule the user had.
  Variant noUser, noPassword, noSecurity(L"");
  return SUCCEEDED(root->RegisterTaskDefinition(name, definition.Get(), TASK_CREATE_OR_UPDATE, noUser, noPassword,
                                                TASK_LOGON_INTERACTIVE_TOKEN, noSecurity, registered.Put()));
}

}  // namespace

bool ParseTaskXml(const std::wstring& xml, std::vector<TaskAction>& actions) {
  if (xml.empty() || xml.size() > kMaxTaskFileBytes) return false;
  // A zero cuts the text short for the parser, and task files never carry
  // a document type; refusing one keeps entity expansion out altogether.
  if (xml.find(L'\0') != std::wstring::npos || xml.find(L"<!DOCTYPE") != std::wstring::npos) return false;
  ComScope com;
  ComPtr<IXMLDOMDocument> document;
  if (!CreateDomDocument(document)) return false;
  document->put_async(VARIANT_FALSE);
  document->put_validateOnParse(VARIANT_FALSE);
  document->put_resolveExternals(VARIANT_FALSE);
  Bstr text(xml.c_str());
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (FAILED(document->loadXML(text, &loaded)) || loaded != VARIANT_TRUE) return false;
  ComPtr<IXMLDOMElement> root;
  if (FAILED(document->get_documentElement(root.Put())) || !root || !IsTaskElement(root.Get(), L"Task")) return false;
  std::vector<TaskAction> found;
  for (const ComPtr<IXMLDOMNode>& list : ChildElements(root.Get(), L"Actions")) {
    for (const ComPtr<IXMLDOMNode>& exec : ChildElements(list.Get(), L"Exec")) {
      TaskAction action{ChildText(exec.Get(), L"Command"), ChildText(exec.Get(), L"Arguments")};
      if (!action.path.empty()) found.push_back(std::move(action));
    }
  }
  actions = std::move(found);
  return true;
}

bool ReadTaskFile(const std::wstring& path, std::vector<TaskAction>& actions) {
  std::string bytes;
  if (!ReadBoundedBytes(path, kMaxTaskFileBytes, bytes)) return false;
  return ParseTaskXml(DecodeTaskBytes(bytes), actions);
}

std::vector<ScheduledTask> EnumerateScheduledTasks(const std::wstring& folder, TaskFolderScope scope) {
  const std::wstring folderPath = NormalizeFolder(folder);
  if (folderPath.empty()) return {};
  ComScope com;
  ComPtr<ITaskService> service;
  const ServiceState state = OpenService(service);
  if (state == ServiceState::NotCreated)
    return folderPath == L"\\" && scope == TaskFolderScope::FolderOnly ? EnumerateLegacyTasks()
                                                                        : std::vector<ScheduledTask>();
  ComPtr<ITaskFolder> start;
  if (state == ServiceState::Connected) {
    Bstr path(folderPath.c_str());
    if (FAILED(service->GetFolder(path, start.Put()))) start.Reset();
  }
  std::vector<ScheduledTask> tasks;
  WalkFolder(start.Get(), folderPath, scope == TaskFolderScope::FolderOnly, scope == TaskFolderScope::Subfolders, 0,
             tasks);
  return tasks;
}

std::vector<ScheduledTask> EnumerateLegacyTasks() {
  ComScope com;
  std::vector<ScheduledTask> tasks;
  ComPtr<ITaskScheduler> scheduler;
  ComPtr<IEnumWorkItems> items;
  if (!OpenLegacyScheduler(scheduler) || FAILED(scheduler->Enum(items.Put())) || !items) return tasks;
  for (;;) {
    LPWSTR* names = nullptr;
    ULONG fetched = 0;
    const HRESULT result = items->Next(kWorkItemBatch, &names, &fetched);
    if (FAILED(result) || !names) break;
    for (ULONG i = 0; i < fetched && i < kWorkItemBatch; ++i) {
      TaskMemText name(names[i]);
      ScheduledTask task;
      task.name = name.Text();
      if (task.name.empty()) continue;
      task.folder = L"\\";
      task.taskFile = LegacyTaskFile(task.name);
      ComPtr<ITask> item;
      if (FAILED(scheduler->Activate(task.name.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(item.Put()))) &&
          FAILED(scheduler->Activate(BareJobName(task.name).c_str(), IID_ITask,
                                     reinterpret_cast<IUnknown**>(item.Put()))))
        continue;
      if (!item) continue;
      TaskMemText application, parameters;
      if (SUCCEEDED(item->GetApplicationName(application.Put())) && !application.Text().empty()) {
        item->GetParameters(parameters.Put());
        task.actions.push_back({application.Text(), parameters.Text()});
      }
      tasks.push_back(std::move(task));
    }
    CoTaskMemFree(names);
    if (result != S_OK || fetched < kWorkItemBatch) break;
  }
  return tasks;
}

std::wstring RootTaskFile(const std::wstring& name) {
  if (name.empty()) return {};
  return WindowsVersion() >= 6.0 ? ServiceTasksFolder() + L"\\" + name : LegacyTaskFile(name);
}

bool RootTaskExists(const std::wstring& name) { return !name.empty() && FileExists(RootTaskFile(name)); }

bool DeleteRootTask(const std::wstring& name) {
  if (name.empty()) return false;
  ComScope com;
  ComPtr<ITaskService> service;
  switch (OpenService(service)) {
    case ServiceState::NotCreated:
      return DeleteLegacyTask(name);
    case ServiceState::Unusable:
      return false;
    case ServiceState::Connected:
      break;
  }
  ComPtr<ITaskFolder> root;
  Bstr rootPath(L"\\"), taskName(name.c_str());
  return SUCCEEDED(service->GetFolder(rootPath, root.Put())) && root && SUCCEEDED(root->DeleteTask(taskName, 0));
}

bool DeleteTaskAt(const std::wstring& taskPath) {
  const size_t slash = taskPath.rfind(L'\\');
  if (slash == std::wstring::npos || slash + 1 == taskPath.size()) return false;
  ComScope com;
  ComPtr<ITaskService> service;
  if (OpenService(service) != ServiceState::Connected) return false;
  ComPtr<ITaskFolder> folder;
  Bstr folderPath(slash == 0 ? L"\\" : taskPath.substr(0, slash).c_str()), taskName(taskPath.substr(slash + 1).c_str());
  return SUCCEEDED(service->GetFolder(folderPath, folder.Put())) && folder &&
         SUCCEEDED(folder->DeleteTask(taskName, 0));
}

bool DeleteLegacyTask(const std::wstring& name) {
  if (name.empty()) return false;
  ComScope com;
  ComPtr<ITaskScheduler> scheduler;
  if (!OpenLegacyScheduler(scheduler)) return false;
  return SUCCEEDED(scheduler->Delete(name.c_str())) || SUCCEEDED(scheduler->Delete(BareJobName(name).c_str()));
}

bool RegisterRootTask(const TaskRegistration& task) {
  if (task.name.empty() || task.executable.empty()) return false;
  ComScope com;
  ComPtr<ITaskService> service;
  switch (OpenService(service)) {
    case ServiceState::NotCreated:
      return RegisterLegacyTask(task);
    case ServiceState::Unusable:
      return false;
    case ServiceState::Connected:
      break;
  }
  return RegisterWithService(service.Get(), task);
}

bool RegisterLegacyTask(const TaskRegistration& task) {
  if (task.name.empty() || task.executable.empty()) return false;
  ComScope com;
  ComPtr<ITaskScheduler> scheduler;
  ComPtr<ITask> item;
  if (!OpenLegacyScheduler(scheduler)) return false;
  // An existing work item is changed and saved over its file, so that a
  // failure on the way keeps the old one whole.
  if (FAILED(scheduler->Activate(task.name.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(item.Put()))) || !item) {
    item.Reset();
    if (FAILED(scheduler->NewWorkItem(task.name.c_str(), CLSID_CTask, IID_ITask,
                                      reinterpret_cast<IUnknown**>(item.Put()))) ||
        !item)
      return false;
  }
  WORD oldTriggers = 0;
  if (FAILED(item->GetTriggerCount(&oldTriggers))) return false;
  for (WORD i = oldTriggers; i-- > 0;) {
    if (FAILED(item->DeleteTrigger(i))) return false;
  }
  const std::wstring account = RunsAsLocalSystem() ? std::wstring() : CurrentTaskUser();
  if (FAILED(item->SetApplicationName(task.executable.c_str())) || FAILED(item->SetParameters(task.arguments.c_str())) ||
      FAILED(item->SetWorkingDirectory(task.workingFolder.c_str())) ||
      FAILED(item->SetComment(task.description.c_str())) || FAILED(item->SetFlags(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON)) ||
      FAILED(item->SetMaxRunTime(30 * 60 * 1000)) || FAILED(item->SetAccountInformation(account.c_str(), nullptr)))
    return false;

  WORD index = 0;
  ComPtr<ITaskTrigger> trigger;
  if (FAILED(item->CreateTrigger(&index, trigger.Put())) || !trigger) return false;
  TASK_TRIGGER schedule{};
  schedule.cbTriggerSize = sizeof(schedule);
  schedule.wBeginYear = task.firstStart.wYear;
  schedule.wBeginMonth = task.firstStart.wMonth;
  schedule.wBeginDay = task.firstStart.wDay;
  schedule.wStartHour = task.firstStart.wHour;
  schedule.wStartMinute = task.firstStart.wMinute;
  if (task.repeatDays > 0) {
    schedule.TriggerType = TASK_TIME_TRIGGER_DAILY;
    schedule.Type.Daily.DaysInterval = static_cast<WORD>(task.repeatDays > 0xFFFF ? 0xFFFF : task.repeatDays);
  } else {
    schedule.TriggerType = TASK_TIME_TRIGGER_ONCE;
  }
  if (FAILED(trigger->SetTrigger(&schedule))) return false;

  ComPtr<IPersistFile> file;
  return SUCCEEDED(item->QueryInterface(IID_IPersistFile, file.PutVoid())) && file &&
         SUCCEEDED(file->Save(nullptr, TRUE));
}

}  // namespace tavrin
