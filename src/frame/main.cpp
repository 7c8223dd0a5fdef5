// Zorblet: a small arcade game in a 600x600 window.

#include "frame/program.h"

int main() {
    return zorblet::frame::RunProgram();
}
