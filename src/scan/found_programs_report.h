#pragma once
// The names of programs that the cloud verdicts, not the definitions,
// found: sent to the maker's service so that the definitions learn them.
#include <optional>
#include <string>

#include "platform/download_job.h"

namespace tavrin {

inline constexpr wchar_t kFoundProgramsPath[] = L"/tavrin/pup_report.php?ps=";

// The request for the list ("name|||name|||") against the server's base
// address; nothing when the list is 6 characters or shorter or cannot be
// escaped within 4,096 characters (the list never goes out unescaped).
std::optional<std::wstring> FoundProgramsUrl(const std::wstring& serverAddress, const std::wstring& list);

// Starts the request in the background; its answer is not used. Empty when
// nothing was sent.
DownloadJobPtr SendFoundPrograms(const std::wstring& serverAddress, const std::wstring& list);

}  // namespace tavrin
