#pragma once

namespace lmp::cli {

// True when the process's standard error is a terminal (a console window on Windows).
bool StandardErrorIsTerminal() noexcept;

} // namespace lmp::cli
