#pragma once
// The program's entry: command line, single instance, platform start-up, main window, message loop.
namespace lumora::app {

int lumora_main(int argc, char** argv);

}  // namespace lumora::app
