#include "app/main_window.h"

namespace vt {

void Form1::Start() {
    Form_Load();
}

void Form1::Form_Load() {}

void Form1::Form_QueryUnload() {}

void Form1::OnEndSession() {}

}  // namespace vt
