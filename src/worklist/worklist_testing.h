// Test hook of the folder walk: on Linux the walk reads folders with the
// system calls directly; tests switch to the portable walk built on QDir to
// check that both give the same entries in the same order.
#pragma once

namespace worklist::testing {

void setPortableWalk(bool portable);

} // namespace worklist::testing
