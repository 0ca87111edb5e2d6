#pragma once

namespace lmp::sys {

// True when the process's standard output or standard error is a terminal (a console on Windows).
bool StandardOutputIsTerminal() noexcept;
bool StandardErrorIsTerminal() noexcept;

} // namespace lmp::sys
