#pragma once

namespace vt::test {

// While set, ChangeWindowMessageFilterEx fails with ERROR_ACCESS_DENIED in this test binary.
extern bool gRefuseMessageFilter;

}  // namespace vt::test
