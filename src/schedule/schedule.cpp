#include "schedule/schedule.h"

#include <windows.h>

#include "platform/file_system.h"

namespace tavrin {

bool CreateSchedule(const ScheduleRequest& request, const std::wstring& executable, TaskRegistrar registrar) {
  TaskRegistration task;
  if (!registrar || !ParseScheduleSpecification(ScheduleSpecification(request, executable), request.repeatDays, task))
    return false;
  return registrar(task);
}

bool ScheduleExists() { return RootTaskExists(kScheduleTaskName); }

bool DeleteSchedule() {
  const bool existed = ScheduleExists();
  const bool deleted = DeleteRootTask(kScheduleTaskName);
  // The scheduler may keep the file of a task it no longer lists.
  const std::wstring file = RootTaskFile(kScheduleTaskName);
  if (FileExists(file)) DeleteFileW(file.c_str());
  return (existed || deleted) && !ScheduleExists();
}

}  // namespace tavrin
