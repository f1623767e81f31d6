#pragma once
// The one place that talks to the Windows Task Scheduler: the 2.0 service
// interfaces, the 1.0 work-item interfaces of systems without the service,
// and the task files themselves where the service lists nothing (a task
// whose registration was tampered with still has its file, and Wine's
// service enumerates no task at all).
//
// Every function initialises COM on the calling thread for the length of
// the call when the thread has not done so; a thread already in either
// apartment keeps its own set-up.
#include <windows.h>

#include <string>
#include <vector>

namespace tavrin {

// One executable action: what the task starts. Actions of other kinds
// (e-mail, message box, COM handler) start no program and are not kept.
struct TaskAction {
  std::wstring path;
  std::wstring arguments;
};

struct ScheduledTask {
  std::wstring name;
  std::wstring folder;    // "\" for the root, else "\A\B" (no trailing backslash)
  std::wstring taskFile;  // the file that holds the task's definition
  std::vector<TaskAction> actions;  // in the task's order
};

enum class TaskFolderScope {
  FolderOnly,  // the tasks of the folder itself
  Subfolders,  // the tasks of every folder below it, recursively, not its own
};

// Tasks of a task folder ("\" or "\A\B"), hidden ones included: those the
// service lists, then those whose file lies in the folder's part of the
// system's "Tasks" tree but which the service did not list. Without the
// 2.0 service, the 1.0 work items (which have no folders) stand for the
// root folder's tasks, and subfolders have none. Empty when neither
// interface works.
std::vector<ScheduledTask> EnumerateScheduledTasks(const std::wstring& folder, TaskFolderScope scope);

// The 1.0 work items ("name.job" files in the Windows folder's "Tasks"),
// named as the enumerator gives them, with the ".job" extension; the
// delete below takes either form.
std::vector<ScheduledTask> EnumerateLegacyTasks();

// The executable actions of a task definition in the Windows task XML
// format. False for text that is not a well-formed task document.
bool ParseTaskXml(const std::wstring& xml, std::vector<TaskAction>& actions);
// The same for a task file: UTF-16 with or without a byte-order mark, or
// UTF-8; files above kMaxTaskFileBytes are refused unread.
bool ReadTaskFile(const std::wstring& path, std::vector<TaskAction>& actions);
constexpr size_t kMaxTaskFileBytes = 1024 * 1024;

// The file of a root-folder task: the system folder's "Tasks\" + name from
// Windows 6.0 on, before that the Windows folder's "Tasks\" + name + ".job".
std::wstring RootTaskFile(const std::wstring& name);
// A root-folder task exists when its file exists.
bool RootTaskExists(const std::wstring& name);

// Deletes the root folder's task of that name through the scheduler (the
// 1.0 interfaces without the 2.0 service). False when the scheduler could
// not delete it, also when there is no such task; the task file is the
// caller's to remove then.
bool DeleteRootTask(const std::wstring& name);
bool DeleteLegacyTask(const std::wstring& name);
// Deletes the task of that path ("\\Folder\\Name") through the 2.0
// service; false when the service could not, also when it does not know
// the task.
bool DeleteTaskAt(const std::wstring& taskPath);

// A task in the root folder that starts a program at a local date and
// time, once or every `repeatDays` days, under the current user with
// highest rights when that user is logged on.
struct TaskRegistration {
  std::wstring name;
  std::wstring description;
  std::wstring executable;
  std::wstring arguments;
  std::wstring workingFolder;
  SYSTEMTIME firstStart{};  // local time; date and time fields are used
  unsigned repeatDays = 0;  // 0: runs once
};

// Creates the task or updates the one of that name in place; false as soon
// as one scheduler call fails, and an existing task then stays as it was. Without the 2.0
// service the 1.0 interfaces create a work item with the same fields.
bool RegisterRootTask(const TaskRegistration& task);
bool RegisterLegacyTask(const TaskRegistration& task);

}  // namespace tavrin
