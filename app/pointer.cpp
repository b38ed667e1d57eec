#include "app/main_window.h"

namespace vt {

void Form1::SetMousePointer(std::int32_t pointer) {
    MousePointer = pointer;
    platform_.SetMousePointer(pointer);
}

void Form1::Check1_MouseMove() {
    SetMousePointer(99);
}
void Form1::Check2_MouseMove() {
    SetMousePointer(99);
}
void Form1::Check3_MouseMove() {
    SetMousePointer(99);
}
void Form1::Check4_MouseMove() {
    SetMousePointer(99);
}
void Form1::Check5_MouseMove() {
    SetMousePointer(99);
}
void Form1::Form_MouseMove() {
    SetMousePointer(0);
}
void Form1::Label1_MouseMove() {
    SetMousePointer(0);
}
void Form1::Text1_MouseMove() {
    SetMousePointer(0);
}
void Form1::ListView1_MouseMove() {
    SetMousePointer(0);
}

}  // namespace vt
