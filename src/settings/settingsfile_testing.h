// Test hook of the settings file: lets a test make a rewrite fail half-way, as
// a full disk or a lost network share would, without needing such a disk.
#pragma once

namespace settings::testing {

// While set, every rewrite writes only part of the new text to its temporary
// file and then fails; the old file must stay as it was.
void setFailRewrites(bool fail);

} // namespace settings::testing
