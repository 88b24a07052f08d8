// The program entry: the demo runs from the directory it lies in, where its
// data/ folder is.
#include "demo/Demo.h"

int main() {
    demo::UseExecutableDirectory();
    return demo::Run(nullptr, 1);
}
