#include "demo/Demo.h"

int main() { return demo::Run(nullptr, 1); }
