#include "support/signing_root.h"

#include <memory>

#include "support/child_process.h"
#include "support/loopback.h"
#include "support/scratch.h"

namespace tavrin::test {

namespace {
std::unique_ptr<TrustedAuthority> authority;
}  // namespace

std::wstring SignedFixture(const std::wstring& name) { return TestBuildPath(L"signing\\" + name); }

void TrustedSigningRoot::SetUp() { authority = std::make_unique<TrustedAuthority>(ReadBytes(SignedFixture(L"root.der"))); }
void TrustedSigningRoot::TearDown() { authority.reset(); }
bool TrustedSigningRoot::Added() { return authority && authority->Added(); }

}  // namespace tavrin::test
