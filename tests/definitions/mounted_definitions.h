#pragma once
// A small definitions database written in the project's text form, compiled
// with the definitions tool and mounted the way a scan mounts it.
#include <string>

#include "definitions/definitions_db.h"
#include "support/scratch.h"

namespace tavrin::test {

class MountedDefinitions {
 public:
  // Empty root() when the text does not compile or the hive does not mount;
  // `error` then says why.
  explicit MountedDefinitions(const std::wstring& text);
  ~MountedDefinitions();
  MountedDefinitions(const MountedDefinitions&) = delete;
  MountedDefinitions& operator=(const MountedDefinitions&) = delete;

  const std::wstring& root() const { return db_.RootPath(); }
  std::wstring error;

 private:
  ScratchFolder folder_;
  DefinitionsDb db_;
};

}  // namespace tavrin::test
