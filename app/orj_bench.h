// orj bench: comparing set-ups of the viewer's benchmark and reading the
// history of runs (the program orj-bench, which orj runs for "orj bench").
#pragma once

namespace orj {

// "orj bench compare ..." and "orj bench history ...": argv[0] is the
// subcommand's name. Return the exit status.
int bench_compare_main(int argc, char **argv);
int bench_history_main(int argc, char **argv);

}  // namespace orj
