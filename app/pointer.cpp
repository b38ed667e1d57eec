#include "app/main_window.h"

namespace vt {

void Form1::SetMousePointer(std::int32_t pointer) {
    platform_.form.SetMousePointer(pointer);
}

void Form1::Check1_MouseMove() {
    SetMousePointer(kMousePointerCustom);
}
void Form1::Check2_MouseMove() {
    SetMousePointer(kMousePointerCustom);
}
void Form1::Check3_MouseMove() {
    SetMousePointer(kMousePointerCustom);
}
void Form1::Check4_MouseMove() {
    SetMousePointer(kMousePointerCustom);
}
void Form1::Check5_MouseMove() {
    SetMousePointer(kMousePointerCustom);
}
void Form1::Form_MouseMove() {
    SetMousePointer(kMousePointerDefault);
}
void Form1::Label1_MouseMove() {
    SetMousePointer(kMousePointerDefault);
}
void Form1::Text1_MouseMove() {
    SetMousePointer(kMousePointerDefault);
}
void Form1::ListView1_MouseMove() {
    SetMousePointer(kMousePointerDefault);
}

}  // namespace vt
