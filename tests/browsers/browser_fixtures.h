#pragma once
// The real browser files of tests/browsers/fixtures, seen from Wine.
#include <string>

namespace tavrin::test {

// "Z:\...\fixtures" + "\" + the relative path with backslashes.
std::wstring BrowserFixture(const std::wstring& relative);
// The folder the edited copies are written to for the Python check.
std::wstring BrowserEditsFolder();
// Copies a fixture folder tree to `to` (created); false on any failure.
bool CopyFixtureTree(const std::wstring& relative, const std::wstring& to);

}  // namespace tavrin::test
