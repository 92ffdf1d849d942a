// lumora: the picture browser and viewer.
#include "app/shell/winmain.h"

int main(int argc, char** argv) { return lumora::app::lumora_main(argc, argv); }
