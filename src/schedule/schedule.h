#pragma once
// The scheduled scan's task: created or replaced in place, tested by its
// file, deleted by name.
#include <string>

#include "platform/scheduled_tasks.h"
#include "schedule/schedule_request.h"

namespace tavrin {

// How a task reaches the scheduler; the program uses RegisterRootTask.
using TaskRegistrar = bool (*)(const TaskRegistration& task);

// Registers the request's task for the program at `executable` over any
// task of the name (create or update): a registration that fails leaves
// the schedule the user had.
bool CreateSchedule(const ScheduleRequest& request, const std::wstring& executable,
                    TaskRegistrar registrar = RegisterRootTask);

// A schedule exists when its task file exists.
bool ScheduleExists();

// Deletes the task through the scheduler and its file in the system's
// "Tasks" folder. False when there was no schedule, or it is still there.
bool DeleteSchedule();

}  // namespace tavrin
