#include "filetrust/trusted_signers.h"

#include "platform/strings.h"

namespace tavrin {
namespace {

// Each fingerprint is the MD5 of the UTF-16LE text "0" + subject: the
// fingerprint a valid signature (trust code 0) by that certificate has.
// Only signers of the files a standard Windows installation ships belong
// here. To add one, take the subject from a real signed file (the X.500
// form, attributes in the certificate's own order, ", " between them) and
// hash it, for example:
//   python3 -c 'import hashlib,sys; print(hashlib.md5(("0"+sys.argv[1]).encode("utf-16-le")).hexdigest().upper())' "C=US, ..."
// The test beside this list recomputes every entry.
constexpr TrustedSigner Signers[] = {
    {L"B6594D10A52D70B8B4A26B7E6D3D36FD",
     L"C=US, S=Washington, L=Redmond, O=Microsoft Corporation, CN=Microsoft Windows"},
    {L"5CC1415688ADD8C22473168B9961E2ED",
     L"C=US, S=Washington, L=Redmond, O=Microsoft Corporation, CN=Microsoft Windows Publisher"},
    {L"2DB7BFF719903060C3801386CF11E5EF",
     L"C=US, S=Washington, L=Redmond, O=Microsoft Corporation, CN=Microsoft Corporation"},
    {L"7464FAE7A08C44619861F5929685F455",
     L"C=US, S=Washington, L=Redmond, O=Microsoft Corporation, CN=Microsoft Windows Hardware Compatibility Publisher"},
    {L"88B7935814F13C23C435BF15C5C284EF",
     L"C=US, S=Washington, L=Redmond, O=Microsoft Corporation, CN=Microsoft Windows UEFI Driver Publisher"},
    {L"74790D092A2E8C286F740C313834E869",
     L"C=US, S=Washington, L=Redmond, O=Microsoft Corporation, CN=Microsoft Windows Third Party Component"},
    {L"5F81EF5627E8538527488E50B76FAEC4",
     L"C=US, S=Washington, L=Redmond, O=Microsoft Corporation, CN=Microsoft Windows Early Launch Anti-malware "
     L"Publisher"},
    // Older leaf certificates carried an organizational unit.
    {L"7F3DC9533E7B2A18376A5DCF107A9AC8",
     L"C=US, S=Washington, L=Redmond, O=Microsoft Corporation, OU=MOPR, CN=Microsoft Windows"},
    {L"A2AC5113C758F8ADB174A6626D589B41",
     L"C=US, S=Washington, L=Redmond, O=Microsoft Corporation, OU=MOPR, CN=Microsoft Corporation"},
};

}  // namespace

std::span<const TrustedSigner> TrustedSigners() { return Signers; }

bool IsTrustedSigner(std::wstring_view fingerprint) {
  if (fingerprint.size() != 32) return false;
  for (const TrustedSigner& signer : Signers) {
    if (EqualsNoCase(fingerprint, signer.fingerprint)) return true;
  }
  return false;
}

}  // namespace tavrin
