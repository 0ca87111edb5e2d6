#pragma once

namespace lmp::sys {

// Readies standard output and standard error for UTF-8 text with "\n" line ends, so that a file or a
// pipe gets the same bytes on every system. On Windows: no line-end conversion (binary mode), and a
// console shows UTF-8 (its output code page, put back at exit). Nothing to do on POSIX systems.
void PrepareStandardStreams() noexcept;

} // namespace lmp::sys
