#pragma once
// The program's built-in English strings: the texts shown when no language file replaces them.
namespace lumora::app {

// The English text of a string id; null for an id the program does not have.
const char* builtin_string(unsigned id);
// The key of a string id in a language file's "String" section ("IDS_OK"); null for the ids
// that are never translated (the program's name, and a few soft-key labels) and unknown ids.
const char* string_key(unsigned id);

}  // namespace lumora::app
