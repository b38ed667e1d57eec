#include "app/main_window.h"

namespace vt {

void Form1::Check5_Click() {}

}  // namespace vt
