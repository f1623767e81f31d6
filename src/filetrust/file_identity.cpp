#include "filetrust/file_identity.h"

#include <windows.h>

#include "filetrust/code_section_digest.h"
#include "filetrust/file_hash.h"
#include "filetrust/file_trust.h"
#include "filetrust/icon_image.h"
#include "filetrust/version_info.h"
#include "platform/file_system.h"
#include "platform/pattern.h"
#include "platform/unique_handle.h"

namespace tavrin {

namespace {

constexpr unsigned long long kHeadBytes = 10240;

const Pattern& ExecutableExtensions() {
  static const Pattern pattern(
      L"\\.(exe|com|pif|paf|bat|cmd|bin|dll|ocx|cpl|sys|gadget|msi|msp|mst|reg|ax|node|ps1|psc1|chm|inx|ins|inf|"
      L"job|ws|wsf|js|jse|icl|isu|msc|rgs|scr|sct|scf|shb|shs|u3p|vb|vbs|vbe|vbscript|ws|wsf|wsh|application|hta|"
      L"jar|ps1xml|msh2|mshxml|msh2xml|appx|appxbundle|tsp|mui|efi|drv|acm)$");
  return pattern;
}

bool StartsWithMz(const std::wstring& path) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  unsigned char magic[2] = {};
  DWORD got = 0;
  return file && ReadFile(file.get(), magic, 2, &got, nullptr) && got == 2 && magic[0] == 'M' && magic[1] == 'Z';
}

// The digest a hashing step left in `hex`, when it succeeded.
template <typename Step>
std::optional<std::wstring> DigestOf(Step step) {
  std::wstring hex;
  if (!step(hex) || hex.empty()) return std::nullopt;
  return hex;
}

}  // namespace

FileIdentity ReadFileIdentity(const std::wstring& path, const std::wstring& suppliedMd5) {
  FileIdentity identity;
  identity.path = path;
  identity.suppliedMd5 = suppliedMd5;
  if (!FileExists(path)) return identity;
  if (!StartsWithMz(path) && !ExecutableExtensions().Matches(path)) return identity;

  IdentityFacts& facts = identity.facts;
  const VersionInfo version = ReadVersionInfo(path);
  facts.versionStrings.push_back(VersionString(version, L"CompanyName"));
  facts.versionStrings.push_back(VersionString(version, L"ProductName"));
  std::wstring name;
  for (const wchar_t* field : {L"OriginalFileName", L"InternalName", L"FileDescription"}) {
    name = VersionString(version, field);
    if (!name.empty()) break;
  }
  facts.versionStrings.push_back(name);

  if (suppliedMd5.size() >= 32) {
    facts.primary = suppliedMd5;
  } else if (VerifyFileTrust(path, identity.publisher, &identity.fingerprint) == TrustValid) {
    facts.primary = identity.fingerprint;
  } else {
    identity.fingerprint.clear();
  }

  facts.codeDigest = DigestOf([&](std::wstring& hex) { return CodeSectionDigest(path, hex); });
  const std::string icon = FirstIconImage(path);
  if (!icon.empty())
    facts.iconDigest = DigestOf([&](std::wstring& hex) { return Md5OfBytes(icon.data(), icon.size(), hex) > 0; });
  facts.headDigest = DigestOf([&](std::wstring& hex) { return Md5OfFile(path, hex, kHeadBytes); });

  const std::wstring text = IdentityText(facts);
  if (!text.empty()) identity.hash = Md5OfText(text);
  return identity;
}

}  // namespace tavrin
