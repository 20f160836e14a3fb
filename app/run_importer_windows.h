// Windows' way of running orj-import for "orj import|export|formats": a
// child process that ends with orj, waited for, its exit status passed on.
#pragma once

// Runs orj-import.exe from this program's folder with argv[1...] (argv[1],
// the subcommand, becomes its argv[0]) and returns its exit status; 1 after
// a message when it cannot be started or ends by a crash.
int run_importer_windows(char **argv);
