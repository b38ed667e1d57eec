#pragma once

namespace vt::test {

// While set, ChangeWindowMessageFilterEx fails with ERROR_ACCESS_DENIED in this test binary.
extern bool gRefuseMessageFilter;
// The message of the last call, refused or not; 0 before the first.
extern unsigned gLastFilterMessage;

}  // namespace vt::test
