// Standard output as part of a tool's result: descriptors 0, 1 and 2 kept from being
// reused for files, every write checked, and standard output closed before exiting the
// way coreutils' close_stdout does, so that a full disk, a closed descriptor or a reader
// that went away is a failure and not a silent success.
#pragma once

#include <string_view>

namespace glyphtint::tools {

// Gives each of the standard descriptors that is closed a /dev/null, before anything
// else opens a file: otherwise the first file opened would become the closed one, and
// the output or the messages would land in it. Standard output and standard error are
// opened read-only and standard input write-only, so that using them fails (EBADF) as
// the closed descriptor would. Call first in main.
void KeepStandardDescriptorsOpen();

// Writes bytes to standard output with one write() call (more only where the kernel takes
// part of them), past any buffer: a line written so is whole or absent when the process
// is killed. Raises EStreamError "Cannot write to standard output: REASON" on failure,
// EPIPE included when SIGPIPE is ignored.
void WriteStandardOutput(std::string_view bytes);

// Flushes std::cout and stdout and closes standard output. Raises EStreamError "Cannot
// write to standard output: REASON" when anything written there did not arrive. Later
// calls do nothing.
void CloseStandardOutput();

} // namespace glyphtint::tools
