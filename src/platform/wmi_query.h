#pragma once
// Short calls into Windows Management Instrumentation: a query's row count,
// a method called on every object a query returns, and a static method of
// a class with one text argument.
#include <string>

namespace tavrin {

// The number of objects the WQL query returns in the namespace; -1 when
// the namespace or the query fails.
int WmiQueryCount(const std::wstring& space, const std::wstring& query);

// Calls the method (without arguments) on every object of the query: the
// number of calls that succeeded; -1 when the query itself fails.
int WmiCallOnEach(const std::wstring& space, const std::wstring& query, const std::wstring& method);

// Calls the class's method with one text argument; true when the call
// succeeded and its "ReturnValue" (when it has one) is 0.
bool WmiCallStatic(const std::wstring& space, const std::wstring& className, const std::wstring& method,
                   const std::wstring& argumentName, const std::wstring& argument);

}  // namespace tavrin
