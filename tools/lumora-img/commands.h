#pragma once
// The commands of lumora-img. Each takes the command's own arguments (argv[0] is the command
// name) and returns the process exit status.

int cmd_info(int argc, char** argv);
int cmd_decode(int argc, char** argv);
int cmd_convert(int argc, char** argv);
int cmd_exif(int argc, char** argv);
int cmd_thumbs(int argc, char** argv);
int cmd_frames(int argc, char** argv);
