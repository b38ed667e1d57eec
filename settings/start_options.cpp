#include "app/main_window.h"

namespace vt {

void Form1::Check6_Click() {}

void Form1::Check8_Click() {}

}  // namespace vt
