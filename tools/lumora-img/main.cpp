// lumora-img: the image library on the command line.
#include <cstdio>
#include <cstring>

#include "imagelib/core/format.h"
#include "tools/lumora-img/cli_common.h"
#include "tools/lumora-img/commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

// One row per command; the order is the order of the help text.
const Command kCommands[] = {
    {"info", cmd_info, "print the description of pictures (size, format, samples)"},
    {"decode", cmd_decode, "decode a picture into a PAM file"},
    {"convert", cmd_convert, "convert a picture to another format"},
    {"exif", cmd_exif, "print the Exif, maker-note and IPTC lines of a picture"},
    {"thumbs", cmd_thumbs, "make thumbnails of pictures (the browser's loader)"},
    {"frames", cmd_frames, "write every frame of an animated GIF as a PAM file"},
};

void print_usage(FILE* out) {
  std::fputs("usage: lumora-img COMMAND [OPTIONS] ARGS...\n\ncommands:\n", out);
  for (const Command& c : kCommands)
    std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fputs("\nlumora-img COMMAND --help describes a command; lumora-img --version prints the version.\n"
             "\nExit status: 0 success; 1 usage error; 2 output written from a file that is damaged or\n"
             "ends early (with a warning on standard error); 10 + the library's status on failure.\n",
             out);
}

// Starts the library for the process's lifetime.
struct LibraryScope {
  LibraryScope() { lumora::library_start(); }
  ~LibraryScope() { lumora::library_stop(); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    print_usage(stderr);
    return cli::kExitUsage;
  }
  if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
    print_usage(stdout);
    return 0;
  }
  if (!std::strcmp(argv[1], "--version")) {
    std::printf("lumora-img %s\n", LUMORA_VERSION);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (!std::strcmp(c.name, argv[1])) {
      LibraryScope library;
      return c.run(argc - 1, argv + 1);
    }
  }
  return cli::usage_error(std::string("unknown command '") + argv[1] + "' (see lumora-img --help)");
}
