#pragma once

namespace lmp::cli {

// True when the process's standard output or standard error is a terminal (a console on Windows).
bool StandardOutputIsTerminal() noexcept;
bool StandardErrorIsTerminal() noexcept;

} // namespace lmp::cli
