// Names of numbered frame files: a path whose last four characters count frames.
#pragma once

// Advances the four-digit counter at the end of name in place (0001 -> 0002,
// 0999 -> 1000; a '9' in the fourth-last place becomes ':'). False, with
// nothing changed, when the name is shorter than four characters.
bool next_frame_name(char *name);
