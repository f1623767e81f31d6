#pragma once
// The registry places the autostart scan looks in. The removal of its rows
// checks a row's key against the same places before it changes anything,
// so both read them from here.
namespace tavrin {

// Below a user's root ("HKU\" + SID) and below "HKLM64"/"HKLM32".
inline constexpr wchar_t kUserRunKey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kMachineRunKey[] = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kUserWindowsKey[] = L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline constexpr wchar_t kMachineWindowsKey[] = L"\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline constexpr wchar_t kAppInitValue[] = L"AppInit_DLLs";
inline constexpr wchar_t kNameServerValue[] = L"NameServer";
// The network interfaces whose name servers are read, IPv4 then IPv6.
inline constexpr const wchar_t* kInterfaceRoots[] = {
    L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces",
    L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Tcpip6\\Parameters\\Interfaces",
};

}  // namespace tavrin
