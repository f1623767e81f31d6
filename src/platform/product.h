#pragma once
// The product's name and version: the window title, the rendezvous of the
// single-instance test, and the texts of messages and reports.
namespace tavrin {

inline constexpr wchar_t kProductName[] = L"Tavrin";
inline constexpr wchar_t kProductVersion[] = L"10.9.6.0";

}  // namespace tavrin
