#include "platform/scheduled_tasks.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <mstask.h>

#include <string>
#include <vector>

#include "platform/com_ptr.h"
#include "platform/strings.h"
#include "support/scratch.h"

namespace tavrin {

// For readable failures of the action lists.
void PrintTo(const TaskAction& action, std::ostream* out) {
  *out << '{' << WideToUtf8(action.path) << " | " << WideToUtf8(action.arguments) << '}';
}
bool operator==(const TaskAction& a, const TaskAction& b) { return a.path == b.path && a.arguments == b.arguments; }

namespace {

std::wstring Pid() { return std::to_wstring(GetCurrentProcessId()); }

std::wstring SystemTasksFolder() {
  wchar_t path[MAX_PATH] = {};
  GetSystemDirectoryW(path, MAX_PATH);
  return std::wstring(path) + L"\\Tasks";
}

std::wstring LegacyTasksFolder() {
  wchar_t path[MAX_PATH] = {};
  GetWindowsDirectoryW(path, MAX_PATH);
  return std::wstring(path) + L"\\Tasks";
}

std::wstring TaskXml(const std::wstring& actions, const std::wstring& declaration = L"UTF-16") {
  return L"<?xml version=\"1.0\" encoding=\"" + declaration +
         L"\"?>\r\n"
         L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
         L"  <RegistrationInfo><Description>test</Description></RegistrationInfo>\r\n"
         L"  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>\r\n"
         L"  <Actions Context=\"Author\">\r\n" +
         actions +
         L"  </Actions>\r\n"
         L"</Task>\r\n";
}

std::wstring Exec(const std::wstring& command, const std::wstring& arguments = L"") {
  std::wstring xml = L"    <Exec>\r\n      <Command>" + command + L"</Command>\r\n";
  if (!arguments.empty()) xml += L"      <Arguments>" + arguments + L"</Arguments>\r\n";
  return xml + L"    </Exec>\r\n";
}

const std::wstring kSendEmail =
    L"    <SendEmail><Server>mail.example.org</Server><To>a@example.org</To>"
    L"<From>b@example.org</From><Subject>x</Subject></SendEmail>\r\n";
const std::wstring kShowMessage = L"    <ShowMessage><Title>t</Title><Body>b</Body></ShowMessage>\r\n";

std::string Utf8Bytes(const std::wstring& text, bool mark) { return (mark ? "\xEF\xBB\xBF" : "") + WideToUtf8(text); }

std::string Utf16BigEndianBytes(const std::wstring& text) {
  std::string bytes = "\xFE\xFF";
  for (wchar_t c : text) bytes += char(c >> 8), bytes += char(c & 0xFF);
  return bytes;
}

std::string Utf16WithoutMark(const std::wstring& text) { return test::Utf16Bytes(text).substr(2); }

// Task files the test places in the system's task tree, removed again
// when the test ends, also after a failed check.
class TaskTree {
 public:
  ~TaskTree() {
    for (auto it = paths_.rbegin(); it != paths_.rend(); ++it) test::RemoveTreeForTest(*it);
  }
  bool Write(const std::wstring& path, const std::string& bytes) {
    paths_.push_back(path);
    return test::WriteBytes(path, bytes);
  }
  bool Folder(const std::wstring& path) {
    paths_.push_back(path);
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
  }

 private:
  std::vector<std::wstring> paths_;
};

std::vector<ScheduledTask> OwnTasks(const std::vector<ScheduledTask>& tasks, const std::wstring& prefix) {
  std::vector<ScheduledTask> own;
  for (const ScheduledTask& task : tasks)
    if (StartsWithNoCase(task.name, prefix)) own.push_back(task);
  return own;
}

const ScheduledTask* Named(const std::vector<ScheduledTask>& tasks, const std::wstring& name) {
  for (const ScheduledTask& task : tasks)
    if (task.name == name) return &task;
  return nullptr;
}

struct TaskFileCase {
  const wchar_t* name;
  std::string bytes;
  bool listed;
  std::vector<TaskAction> actions;
};

std::vector<TaskFileCase> TaskFileCases() {
  std::string huge = test::Utf16Bytes(TaskXml(Exec(L"C:\\Huge\\run.exe") + L"<!--" +
                                             std::wstring(kMaxTaskFileBytes / 2 + 16, L'x') + L"-->"));
  return {
      {L"one", test::Utf16Bytes(TaskXml(Exec(L"C:\\Tools\\one.exe", L"/quiet /x"))), true,
       {{L"C:\\Tools\\one.exe", L"/quiet /x"}}},
      // Every executable action counts, in order, across actions of other kinds.
      {L"two", test::Utf16Bytes(TaskXml(Exec(L"\"C:\\A b\\first.exe\"") + kShowMessage +
                                        Exec(L"%windir%\\second.exe", L"-a \"q\""))),
       true,
       {{L"\"C:\\A b\\first.exe\"", L""}, {L"%windir%\\second.exe", L"-a \"q\""}}},
      {L"mail", test::Utf16Bytes(TaskXml(kSendEmail + kShowMessage)), true, {}},
      // An action without a command starts nothing.
      {L"nocommand", test::Utf16Bytes(TaskXml(L"<Exec><Arguments>/x</Arguments></Exec>" + Exec(L"C:\\b.exe"))), true,
       {{L"C:\\b.exe", L""}}},
      {L"utf8", Utf8Bytes(TaskXml(Exec(L"C:\\Pr\u00f6gramme\\\u65e5\u672c.exe", L"&amp;&lt;"), L"UTF-8"), false),
       true,
       {{L"C:\\Pr\u00f6gramme\\\u65e5\u672c.exe", L"&<"}}},
      // Declared UTF-16 but written as UTF-8: the bytes decide, as the service does.
      {L"utf8mark", Utf8Bytes(TaskXml(Exec(L"C:\\m\u00e4rk.exe")), true), true, {{L"C:\\m\u00e4rk.exe", L""}}},
      {L"utf16be", Utf16BigEndianBytes(TaskXml(Exec(L"C:\\be.exe", L"b"))), true, {{L"C:\\be.exe", L"b"}}},
      {L"utf16nomark", Utf16WithoutMark(TaskXml(Exec(L"C:\\nm.exe"))), true, {{L"C:\\nm.exe", L""}}},
      {L"nonamespace",
       Utf8Bytes(L"<Task><Actions><Exec><Command>C:\\plain.exe</Command></Exec></Actions></Task>", false), true,
       {{L"C:\\plain.exe", L""}}},
      {L"malformed", test::Utf16Bytes(TaskXml(Exec(L"C:\\bad.exe")).substr(0, 300)), false, {}},
      {L"unclosed", test::Utf16Bytes(L"<Task><Actions><Exec><Command>C:\\u.exe</Command></Exec></Actions>"), false, {}},
      {L"huge", huge, false, {}},
      {L"empty", "", false, {}},
      {L"binary", std::string("MZ\x90\0\x03\0\0\0\x04\0\0\0\xFF\xFF", 16), false, {}},
      {L"nottask",
       test::Utf16Bytes(L"<?xml version=\"1.0\"?><Settings><Actions><Exec><Command>C:\\n.exe</Command>"
                        L"</Exec></Actions></Settings>"),
       false, {}},
      {L"othernamespace",
       Utf8Bytes(L"<Task xmlns=\"urn:other\"><Actions><Exec><Command>C:\\o.exe</Command></Exec></Actions></Task>",
                 false),
       false, {}},
      // Entity expansion is refused outright rather than trusted to the parser.
      {L"doctype",
       Utf8Bytes(L"<?xml version=\"1.0\"?><!DOCTYPE Task [<!ENTITY a \"C:\\e.exe\">]>"
                 L"<Task><Actions><Exec><Command>&a;</Command></Exec></Actions></Task>",
                 false),
       false, {}},
  };
}

TEST(ScheduledTaskFiles, RootFolderTaskFilesAreReadForTheirExecutableActions) {
  const std::wstring prefix = L"TavrinTest-" + Pid() + L"-";
  const std::wstring folder = SystemTasksFolder();
  TaskTree tree;
  const std::vector<TaskFileCase> cases = TaskFileCases();
  for (const TaskFileCase& c : cases) ASSERT_TRUE(tree.Write(folder + L"\\" + prefix + c.name, c.bytes));

  const std::vector<ScheduledTask> tasks = OwnTasks(EnumerateScheduledTasks(L"\\", TaskFolderScope::FolderOnly), prefix);
  size_t expected = 0;
  for (const TaskFileCase& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.name));
    const ScheduledTask* task = Named(tasks, prefix + c.name);
    ASSERT_EQ(task != nullptr, c.listed);
    if (!task) continue;
    ++expected;
    EXPECT_EQ(task->folder, L"\\");
    EXPECT_TRUE(EqualsNoCase(task->taskFile, folder + L"\\" + prefix + c.name)) << WideToUtf8(task->taskFile);
    EXPECT_EQ(task->actions, c.actions);

    std::vector<TaskAction> direct;
    EXPECT_TRUE(ReadTaskFile(task->taskFile, direct));
    EXPECT_EQ(direct, c.actions);
  }
  EXPECT_EQ(tasks.size(), expected);
}

TEST(ScheduledTaskFiles, ParserRefusesWhatIsNotATaskDocument) {
  std::vector<TaskAction> actions{{L"kept", L""}};
  for (const std::wstring& xml : {std::wstring(), std::wstring(L"<Task>"), std::wstring(L"plain text"),
                                  std::wstring(L"<Task>\0<Actions/></Task>", 24),
                                  std::wstring(kMaxTaskFileBytes + 1, L' ') + L"<Task/>"}) {
    EXPECT_FALSE(ParseTaskXml(xml, actions)) << WideToUtf8(xml.substr(0, 40));
  }
  EXPECT_EQ(actions, (std::vector<TaskAction>{{L"kept", L""}}));
  EXPECT_FALSE(ReadTaskFile(SystemTasksFolder() + L"\\TavrinTest-" + Pid() + L"-missing", actions));
}

TEST(ScheduledTaskFiles, SubfolderScopeWalksEveryFolderBelowButNotTheFolderItself) {
  const std::wstring top = L"TavrinTest-" + Pid();
  const std::wstring root = SystemTasksFolder();
  TaskTree tree;
  ASSERT_TRUE(tree.Folder(root + L"\\" + top));
  ASSERT_TRUE(tree.Folder(root + L"\\" + top + L"\\Deeper"));
  ASSERT_TRUE(tree.Folder(root + L"\\" + top + L"\\Deeper\\Deepest"));
  ASSERT_TRUE(tree.Write(root + L"\\" + top + L"-root", test::Utf16Bytes(TaskXml(Exec(L"C:\\root.exe")))));
  ASSERT_TRUE(tree.Write(root + L"\\" + top + L"\\" + top + L"-a", test::Utf16Bytes(TaskXml(Exec(L"C:\\a.exe")))));
  ASSERT_TRUE(tree.Write(root + L"\\" + top + L"\\Deeper\\" + top + L"-b",
                         Utf8Bytes(TaskXml(Exec(L"C:\\b.exe", L"-b"), L"UTF-8"), false)));
  ASSERT_TRUE(tree.Write(root + L"\\" + top + L"\\Deeper\\" + top + L"-junk", "<Task"));
  ASSERT_TRUE(tree.Write(root + L"\\" + top + L"\\Deeper\\Deepest\\" + top + L"-c",
                         test::Utf16Bytes(TaskXml(Exec(L"C:\\c1.exe") + Exec(L"C:\\c2.exe")))));

  struct Expected {
    std::wstring name, folder, file;
    std::vector<TaskAction> actions;
  };
  const std::vector<Expected> below = {
      {top + L"-a", L"\\" + top, root + L"\\" + top + L"\\" + top + L"-a", {{L"C:\\a.exe", L""}}},
      {top + L"-b", L"\\" + top + L"\\Deeper", root + L"\\" + top + L"\\Deeper\\" + top + L"-b",
       {{L"C:\\b.exe", L"-b"}}},
      {top + L"-c", L"\\" + top + L"\\Deeper\\Deepest", root + L"\\" + top + L"\\Deeper\\Deepest\\" + top + L"-c",
       {{L"C:\\c1.exe", L""}, {L"C:\\c2.exe", L""}}},
  };

  const std::vector<ScheduledTask> fromRoot =
      OwnTasks(EnumerateScheduledTasks(L"\\", TaskFolderScope::Subfolders), top);
  ASSERT_EQ(fromRoot.size(), below.size());
  for (const Expected& e : below) {
    SCOPED_TRACE(WideToUtf8(e.name));
    const ScheduledTask* task = Named(fromRoot, e.name);
    ASSERT_NE(task, nullptr);
    EXPECT_TRUE(EqualsNoCase(task->folder, e.folder)) << WideToUtf8(task->folder);
    EXPECT_TRUE(EqualsNoCase(task->taskFile, e.file)) << WideToUtf8(task->taskFile);
    EXPECT_EQ(task->actions, e.actions);
  }

  const std::vector<ScheduledTask> rootOnly = OwnTasks(EnumerateScheduledTasks(L"\\", TaskFolderScope::FolderOnly), top);
  ASSERT_EQ(rootOnly.size(), 1u);
  EXPECT_EQ(rootOnly[0].name, top + L"-root");

  // A folder named with or without its slashes, and one level down.
  const std::vector<ScheduledTask> deeper =
      OwnTasks(EnumerateScheduledTasks(top + L"\\Deeper\\", TaskFolderScope::FolderOnly), top);
  ASSERT_EQ(deeper.size(), 1u);
  EXPECT_EQ(deeper[0].name, top + L"-b");
  const std::vector<ScheduledTask> belowDeeper =
      OwnTasks(EnumerateScheduledTasks(L"\\" + top + L"\\Deeper", TaskFolderScope::Subfolders), top);
  ASSERT_EQ(belowDeeper.size(), 1u);
  EXPECT_EQ(belowDeeper[0].name, top + L"-c");

  // Folder names never lead out of the task tree.
  for (const wchar_t* escape : {L"\\..", L"\\" L"x\\..\\..", L"C:\\Windows"})
    EXPECT_TRUE(EnumerateScheduledTasks(escape, TaskFolderScope::Subfolders).empty()) << WideToUtf8(escape);
}

TEST(ScheduledTaskDeletion, RootTaskIsDeletedByNameAndAMissingOneFails) {
  const std::wstring name = L"TavrinTest-" + Pid() + L"-delete";
  const std::wstring file = SystemTasksFolder() + L"\\" + name;
  TaskTree tree;
  EXPECT_TRUE(EqualsNoCase(RootTaskFile(name), file)) << WideToUtf8(RootTaskFile(name));
  EXPECT_FALSE(RootTaskExists(name));
  EXPECT_FALSE(DeleteRootTask(name));

  ASSERT_TRUE(tree.Write(file, test::Utf16Bytes(TaskXml(Exec(L"C:\\victim.exe")))));
  EXPECT_TRUE(RootTaskExists(name));
  EXPECT_TRUE(DeleteRootTask(name));
  EXPECT_FALSE(RootTaskExists(name));
  EXPECT_FALSE(DeleteRootTask(name));
  EXPECT_FALSE(DeleteRootTask(L""));
  EXPECT_FALSE(RootTaskExists(L""));
}

TaskRegistration ScanTask(const std::wstring& name) {
  TaskRegistration task;
  task.name = name;
  task.description = L"This task runs an automated Tavrin scan";
  task.executable = L"C:\\Program Files\\Tavrin\\tavrin.exe";
  task.arguments = L" /ScanRemove /Quiet /NoRP";
  task.workingFolder = L"C:\\Program Files\\Tavrin";
  task.firstStart.wYear = 2031;
  task.firstStart.wMonth = 4;
  task.firstStart.wDay = 7;
  task.firstStart.wHour = 9;
  task.firstStart.wMinute = 5;
  task.repeatDays = 3;
  return task;
}

TEST(ScheduledTaskRegistration, RootTaskIsCreatedWholeOrNotAtAll) {
  const std::wstring name = L"TavrinTest-" + Pid() + L"-scan";
  TaskTree tree;
  tree.Write(RootTaskFile(name), "");  // only to have it removed at the end
  DeleteFileW(RootTaskFile(name).c_str());

  for (unsigned repeatDays : {3u, 0u}) {
    TaskRegistration task = ScanTask(name);
    task.repeatDays = repeatDays;
    const bool created = RegisterRootTask(task);
    // Wine refuses parts of the definition; a failed creation keeps nothing.
    EXPECT_EQ(created, RootTaskExists(name)) << repeatDays;
    if (created) {
      const std::vector<ScheduledTask> tasks = EnumerateScheduledTasks(L"\\", TaskFolderScope::FolderOnly);
      const ScheduledTask* found = Named(tasks, name);
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(found->actions, (std::vector<TaskAction>{{task.executable, task.arguments}}));
    }
  }
  if (RootTaskExists(name)) {
    EXPECT_TRUE(DeleteRootTask(name));
  }
  EXPECT_FALSE(RegisterRootTask(TaskRegistration{}));
}

// What the 1.0 scheduler itself reads back from a work item's file.
struct JobFields {
  std::wstring application, parameters, workingFolder, comment;
  DWORD flags = 0, maxRunTime = 0;
  WORD triggerCount = 0;
  TASK_TRIGGER trigger{};
};

std::wstring TakeTaskMem(LPWSTR text) {
  std::wstring copy = text ? text : L"";
  CoTaskMemFree(text);
  return copy;
}

bool ReadJob(const std::wstring& name, JobFields& fields) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool read = false;
  {
    ComPtr<ITaskScheduler> scheduler;
    ComPtr<ITask> item;
    ComPtr<ITaskTrigger> trigger;
    LPWSTR application = nullptr, parameters = nullptr, folder = nullptr, comment = nullptr;
    read = SUCCEEDED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                      scheduler.PutVoid())) &&
           SUCCEEDED(scheduler->Activate(name.c_str(), IID_ITask, reinterpret_cast<IUnknown**>(item.Put()))) &&
           SUCCEEDED(item->GetApplicationName(&application)) && SUCCEEDED(item->GetParameters(&parameters)) &&
           SUCCEEDED(item->GetWorkingDirectory(&folder)) && SUCCEEDED(item->GetComment(&comment)) &&
           SUCCEEDED(item->GetFlags(&fields.flags)) && SUCCEEDED(item->GetMaxRunTime(&fields.maxRunTime)) &&
           SUCCEEDED(item->GetTriggerCount(&fields.triggerCount)) && fields.triggerCount > 0 &&
           SUCCEEDED(item->GetTrigger(0, trigger.Put())) && SUCCEEDED(trigger->GetTrigger(&fields.trigger));
    fields.application = TakeTaskMem(application);
    fields.parameters = TakeTaskMem(parameters);
    fields.workingFolder = TakeTaskMem(folder);
    fields.comment = TakeTaskMem(comment);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return read;
}

TEST(LegacyScheduledTasks, JobFileIsCreatedListedWithItsProgramAndDeleted) {
  const std::wstring name = L"TavrinTest-" + Pid() + L"-job";
  const std::wstring file = LegacyTasksFolder() + L"\\" + name + L".job";
  TaskTree tree;
  tree.Write(file, "");
  DeleteFileW(file.c_str());

  TaskRegistration task = ScanTask(name);
  ASSERT_TRUE(RegisterLegacyTask(task));
  EXPECT_TRUE(test::FileExists(file));
  JobFields job;
  ASSERT_TRUE(ReadJob(name, job));
  EXPECT_EQ(job.application, task.executable);
  EXPECT_EQ(job.parameters, task.arguments);
  EXPECT_EQ(job.workingFolder, task.workingFolder);
  EXPECT_EQ(job.comment, task.description);
  EXPECT_NE(job.flags & TASK_FLAG_RUN_ONLY_IF_LOGGED_ON, 0u);
  EXPECT_EQ(job.maxRunTime, 1800000u);
  EXPECT_EQ(job.trigger.TriggerType, TASK_TIME_TRIGGER_DAILY);
  EXPECT_EQ(job.trigger.Type.Daily.DaysInterval, 3);
  EXPECT_EQ(job.trigger.wBeginYear, 2031);
  EXPECT_EQ(job.trigger.wBeginMonth, 4);
  EXPECT_EQ(job.trigger.wBeginDay, 7);
  EXPECT_EQ(job.trigger.wStartHour, 9);
  EXPECT_EQ(job.trigger.wStartMinute, 5);

  // Registering again replaces the work item, trigger included, instead of
  // failing on it or adding to it; without a repeat it runs once.
  task.arguments = L" /Scan /CUOnly";
  task.repeatDays = 0;
  ASSERT_TRUE(RegisterLegacyTask(task));
  ASSERT_TRUE(ReadJob(name, job));
  EXPECT_EQ(job.parameters, task.arguments);
  EXPECT_EQ(job.triggerCount, 1);
  EXPECT_EQ(job.trigger.TriggerType, TASK_TIME_TRIGGER_ONCE);

  const std::vector<ScheduledTask> tasks = OwnTasks(EnumerateLegacyTasks(), name);
  ASSERT_EQ(tasks.size(), 1u);
  EXPECT_TRUE(EqualsNoCase(tasks[0].taskFile, file)) << WideToUtf8(tasks[0].taskFile);
  EXPECT_EQ(tasks[0].folder, L"\\");
  EXPECT_EQ(tasks[0].actions, (std::vector<TaskAction>{{task.executable, task.arguments}}));

  // By the name the enumeration gave, which carries the extension.
  EXPECT_TRUE(DeleteLegacyTask(tasks[0].name)) << WideToUtf8(tasks[0].name);
  EXPECT_FALSE(test::FileExists(file));
  EXPECT_TRUE(OwnTasks(EnumerateLegacyTasks(), name).empty());
  EXPECT_FALSE(DeleteLegacyTask(name));
}

}  // namespace
}  // namespace tavrin
